#include "recordfilewriter.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

// A file the user may change in a folder where they may not create files
// (a folder an administrator set up for the records, say). The safe save
// needs a temporary file beside the target, so there the file can only be
// written in place, at the risk of a half-written file should the write fail.
bool writableFileInLockedFolder(const QString &path)
{
    const QFileInfo target(path);
    if (!target.isFile() || !target.isWritable())
        return false;
    const QFileInfo real(target.isSymLink() ? target.canonicalFilePath() : target.filePath());
    return !QFileInfo(real.absolutePath()).isWritable();
}

} // namespace

RecordFileResult writeRecordFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(writableFileInLockedFolder(path));
    // Unbuffered: a buffered write that fails is only flushed, and the
    // failure lost, when the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, file.errorString()};

    // A full disk or a file size limit first shows as a short write with no
    // error; the write of the rest fails with the reason.
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 count = file.write(data.constData() + written, data.size() - written);
        if (count <= 0) {
            // Read before cancelling: cancelWriting() puts its own message
            // in place of the system's.
            const QString reason = file.errorString();
            file.cancelWriting();
            return {false, reason};
        }
        written += count;
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}
