#include "recordfilewriter.h"

#include "savetarget.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The old bytes of a file rewritten in place are kept in memory until the
// new ones are on the disk; records files are far smaller.
constexpr qint64 largestFileRewrittenInPlace = 64 * 1024 * 1024;

// A file the user may change in a folder where they may not create files
// (a folder an administrator set up for the records, say). The safe save
// needs a temporary file beside the target, so there the file can only be
// written in place.
bool writableFileInLockedFolder(const QString &path)
{
    const QFileInfo target(path);
    if (!target.isFile() || !target.isWritable())
        return false;
    const QFileInfo real(target.isSymLink() ? target.canonicalFilePath() : target.filePath());
    return !QFileInfo(real.absolutePath()).isWritable();
}

// A full disk or a file size limit first shows as a short write with no
// error; the write of the rest fails with the reason.
QString writeAll(QIODevice &file, const QByteArray &data)
{
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 count = file.write(data.constData() + written, data.size() - written);
        if (count <= 0)
            return file.errorString();
        written += count;
    }
    return {};
}

// Over the old bytes from the start, and cut to length only then, so that
// the old bytes can go back the same way.
QString overwrite(QFile &file, const QByteArray &data)
{
    if (!file.seek(0))
        return file.errorString();
    QString reason = writeAll(file, data);
    if (reason.isEmpty() && !file.resize(data.size()))
        reason = file.errorString();
    if (reason.isEmpty())
        reason = SaveTarget::syncToDisk(file);
    return reason;
}

RecordFileResult rewriteInPlace(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return {false, file.errorString()};
    if (file.size() > largestFileRewrittenInPlace) {
        return {false, QCoreApplication::translate(
                           "MainWindow",
                           "The existing file is too large to be overwritten safely in this "
                           "folder, where no new file may be created. Choose another folder.")};
    }
    const QByteArray old = file.readAll();
    if (old.size() != file.size())
        return {false, file.errorString()};

    const QString lack = SaveTarget::lackOfRoom(file, data.size(), old.size());
    if (!lack.isEmpty())
        return {false, lack};
    const QString reason = overwrite(file, data);
    if (!reason.isEmpty()) {
        overwrite(file, old);
        return {false, reason};
    }
    return {true, {}};
}

RecordFileResult replaceFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    // Unbuffered: a buffered write that fails is only flushed, and the
    // failure lost, when the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, file.errorString()};
    const QString reason = writeAll(file, data);
    if (!reason.isEmpty()) {
        // cancelWriting() puts its own message in place of the system's.
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

} // namespace

RecordFileResult writeRecordFile(const QString &path, const QByteArray &data)
{
    const SaveTarget target(path);
    switch (target.kind()) {
    case SaveTarget::Kind::Device:
        return target.writeIntoDevice(data);
    case SaveTarget::Kind::Refused:
        return {false, target.refusal()};
    case SaveTarget::Kind::File:
        break;
    }
    if (writableFileInLockedFolder(path))
        return rewriteInPlace(path, data);
    return replaceFile(path, data);
}
