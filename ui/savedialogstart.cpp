#include "savedialogstart.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString saveDialogStartPath(const QString &lastSavedFile)
{
    if (!lastSavedFile.isEmpty() && QFileInfo(lastSavedFile).absoluteDir().exists())
        return lastSavedFile;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}
