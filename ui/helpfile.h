#pragma once

#include <QString>
#include <QStringList>

// The user guides that may stand in the Help folder beside the program, best
// first: the one of the interface language, then the English one, which is
// always installed with the program.
QStringList helpFileCandidates(const QString &programFolder, const QString &languageCode);
