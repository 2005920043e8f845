#include "helpfile.h"

QStringList helpFileCandidates(const QString &programFolder, const QString &languageCode)
{
    QStringList paths;
    for (const QString &code : {languageCode, QStringLiteral("en")}) {
        // One arg() call: a '%' in the folder name must not be taken for a placeholder.
        const QString path =
            QStringLiteral("%1/Help/Corvane_VelmoraHelp_%2.html").arg(programFolder, code);
        if (!paths.contains(path))
            paths.append(path);
    }
    return paths;
}
