#pragma once

#include <QString>

// Where the save dialog opens: at the file saved last if its folder is still
// there, otherwise in the user's documents folder, or else at home. Never in
// the working folder, which is the program's own.
QString saveDialogStartPath(const QString &lastSavedFile);
