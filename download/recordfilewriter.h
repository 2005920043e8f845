#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What became of writing the records to a file: on failure, the system's
// reason, for the user.
struct RecordFileResult
{
    bool saved = false;
    QString reason;
};

// Writes the blocks, one after the other, to path so that an existing file is
// replaced only once every byte is on the disk, and is as it was when the
// save fails. A device gets the bytes as they are; a pipe or socket is
// refused.
RecordFileResult writeRecordFile(const QString &path, const QList<QByteArray> &blocks);
inline RecordFileResult writeRecordFile(const QString &path, const QByteArray &data)
{
    return writeRecordFile(path, QList<QByteArray>{data});
}
