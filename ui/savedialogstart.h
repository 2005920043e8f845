#pragma once

#include <QString>

// Where the save dialog opens, with proposedName as the file's name: in the
// folder of the file saved last if it is still there, otherwise in the user's
// documents folder, or else at home. Never in the working folder, which is
// the program's own. A name of its own per download keeps the last file from
// being overwritten by a quick Enter.
QString saveDialogStartPath(const QString &lastSavedFile, const QString &proposedName);
