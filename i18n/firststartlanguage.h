#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The order in which a start with no usable stored choice tries the
// application catalogues: those of the system's language, then English, then
// the rest, each group in file-name order. codes are the catalogues' language
// codes in file-name order; the result holds their indexes.
QList<qsizetype> firstStartOrder(const QStringList &codes, const QString &systemLanguage);
