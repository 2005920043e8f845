#include "savedialogstart.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString saveDialogStartPath(const QString &lastSavedFile, const QString &proposedName)
{
    QString folder;
    if (!lastSavedFile.isEmpty() && QFileInfo(lastSavedFile).absoluteDir().exists())
        folder = QFileInfo(lastSavedFile).absolutePath();
    if (folder.isEmpty()) {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        folder =
            !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
    }
    return QDir(folder).filePath(proposedName);
}
