#include "recordfilestream.h"

#include "savetarget.h"
#include "writefully.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

RecordFileStream::RecordFileStream(const QString &path) : path(path) {}

RecordFileStream::~RecordFileStream()
{
    discard();
}

bool RecordFileStream::fail(const QString &why)
{
    failure = why;
    discard();
    return false;
}

bool RecordFileStream::open()
{
    failure.clear();
    const SaveTarget target(path);
    if (target.kind() == SaveTarget::Kind::Refused)
        return fail(target.refusal());

    // A device is written into only at the end, as a whole, so that it gets
    // all records or none.
    if (target.kind() == SaveTarget::Kind::File) {
        beside = std::make_unique<QSaveFile>(path);
        // Unbuffered: a buffered write that fails is only flushed, and the
        // failure lost, when the file is committed.
        if (beside->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return true;
        const QString why = beside->errorString();
        beside.reset();
        // No temporary file may be made beside it: writeRecordFile rewrites
        // a writable file in place there.
        const QFileInfo existing(path);
        if (!existing.isFile() || !existing.isWritable())
            return fail(why);
    }

    spool = std::make_unique<QTemporaryFile>(
        QDir::temp().filePath(QStringLiteral("velmora-records-XXXXXX")));
    if (!spool->open())
        return fail(spool->errorString());
    return true;
}

bool RecordFileStream::write(const QByteArray &chunk)
{
    QFileDevice *file = beside ? static_cast<QFileDevice *>(beside.get()) : spool.get();
    if (!file)
        return false;
    if (!writeFully(*file, chunk.constData(), chunk.size()))
        return fail(file->errorString());
    return true;
}

RecordFileResult RecordFileStream::commit()
{
    if (beside) {
        const bool saved = beside->commit();
        const QString why = beside->errorString();
        beside.reset();
        if (!saved)
            return {false, why};
        return {true, {}};
    }
    if (!spool)
        return {false, failure};

    const qint64 size = spool->size();
    const uchar *bytes = size > 0 ? spool->map(0, size) : nullptr;
    if (size > 0 && !bytes) {
        const QString why = spool->errorString();
        discard();
        return {false, why};
    }
    const RecordFileResult result = writeRecordFile(
        path, QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), qsizetype(size)));
    discard();
    return result;
}

void RecordFileStream::discard()
{
    // Dropped, the temporary files go with what they held.
    if (beside)
        beside->cancelWriting();
    beside.reset();
    spool.reset();
}
