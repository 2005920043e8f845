#include "recordfilewriter.h"

#include "savetarget.h"
#include "writefully.h"

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

QString writeAll(QIODevice &file, const QList<QByteArray> &blocks)
{
    for (const QByteArray &data : blocks) {
        if (!writeFully(file, data.constData(), data.size()))
            return file.errorString();
    }
    return {};
}

qint64 totalSize(const QList<QByteArray> &blocks)
{
    qint64 size = 0;
    for (const QByteArray &block : blocks)
        size += block.size();
    return size;
}

// Over the old bytes from the start, and cut to length only then, so that
// the old bytes can go back the same way.
QString overwrite(QFile &file, const QList<QByteArray> &blocks)
{
    if (!file.seek(0))
        return file.errorString();
    QString reason = writeAll(file, blocks);
    if (reason.isEmpty() && !file.resize(totalSize(blocks)))
        reason = file.errorString();
    if (reason.isEmpty())
        reason = SaveTarget::syncToDisk(file);
    return reason;
}

RecordFileResult rewriteInPlace(const QString &path, const QList<QByteArray> &blocks)
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

    const QString lack = SaveTarget::lackOfRoom(file, totalSize(blocks), old.size());
    if (!lack.isEmpty())
        return {false, lack};
    const QString reason = overwrite(file, blocks);
    if (!reason.isEmpty()) {
        overwrite(file, {old});
        return {false, reason};
    }
    return {true, {}};
}

RecordFileResult replaceFile(const QString &path, const QList<QByteArray> &blocks)
{
    QSaveFile file(path);
    // Unbuffered: a buffered write that fails is only flushed, and the
    // failure lost, when the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, file.errorString()};
    const QString reason = writeAll(file, blocks);
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

RecordFileResult writeRecordFile(const QString &path, const QList<QByteArray> &blocks)
{
    const SaveTarget target(path);
    switch (target.kind()) {
    case SaveTarget::Kind::Device:
        return target.writeIntoDevice(blocks);
    case SaveTarget::Kind::Refused:
        return {false, target.refusal()};
    case SaveTarget::Kind::File:
        break;
    }
    if (writableFileInLockedFolder(path))
        return rewriteInPlace(path, blocks);
    return replaceFile(path, blocks);
}
