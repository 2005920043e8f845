#pragma once

#include <QByteArray>
#include <QString>

// A large transfer made of one block of record lines sent over and over, so
// that neither the sender nor the check holds the whole transfer in memory.
class Payload
{
public:
    explicit Payload(qint64 size);

    qint64 size() const { return total; }
    const QByteArray &block() const { return pattern; }
    // The bytes of the transfer from `offset`, at most one block's worth.
    QByteArray chunkAt(qint64 offset) const;
    // True when the file holds exactly the transfer.
    bool matchesFile(const QString &path) const;

private:
    QByteArray pattern;
    qint64 total;
};
