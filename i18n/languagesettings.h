#pragma once

#include <QString>

// Where the language choice is kept and where the catalogues are looked for.
// The folder is relative: it is resolved against the working directory.
inline const QString dialogLanguageGroup = QStringLiteral("CvGui/DialogLanguage");
inline const QString translationsDirectory = QStringLiteral("Translations");

inline QString dialogLanguageFilePathKey()
{
    return QStringLiteral("%1/FilePath").arg(dialogLanguageGroup);
}

inline QString dialogLanguageIso639CodeKey()
{
    return QStringLiteral("%1/Iso639Code").arg(dialogLanguageGroup);
}
