#pragma once

#include "recordfilewriter.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QSaveFile;
class QTemporaryFile;

// The records written to a file while they arrive, with writeRecordFile's
// rules: an existing file is replaced only by commit(), and stays as it was
// when the records are discarded or a write fails. Memory stays flat however
// much arrives.
//
// A file in a folder where a new file may be created gets the records in a
// temporary file beside it, which commit() puts in its place. Any other
// target (a device, a writable file in a locked folder) gets them through a
// temporary file of the system's, handed to writeRecordFile at commit(), so
// that it, too, gets all records or none.
class RecordFileStream
{
public:
    explicit RecordFileStream(const QString &path);
    // Discards what was not committed.
    ~RecordFileStream();
    RecordFileStream(const RecordFileStream &) = delete;
    RecordFileStream &operator=(const RecordFileStream &) = delete;

    // False, with the reason, where nothing could be saved: asked before the
    // records come, so that none are lost to a target that takes none.
    bool open();
    // False, with the reason, once a write failed; nothing is saved then.
    bool write(const QByteArray &chunk);
    RecordFileResult commit();
    void discard();
    QString reason() const { return failure; }

private:
    bool fail(const QString &why);

    QString path;
    std::unique_ptr<QSaveFile> beside;
    std::unique_ptr<QTemporaryFile> spool;
    QString failure;
};
