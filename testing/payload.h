#pragma once

#include <QByteArray>
#include <QString>

// A large transfer made of one block of record lines sent over and over, so
// that neither the sender nor the check holds the whole transfer in memory.
class Payload
{
public:
    // Records: the tester's record lines. Lines80: the same characters in
    // lines of 80 (the line end included). NoBreak: the same characters as
    // one line without end.
    enum class Shape { Records, Lines80, NoBreak };

    explicit Payload(qint64 size, Shape shape = Shape::Records);

    qint64 size() const { return total; }
    const QByteArray &block() const { return pattern; }
    // The bytes of the transfer from `offset`, at most one block's worth.
    QByteArray chunkAt(qint64 offset) const;
    // True when the file holds exactly the transfer.
    bool matchesFile(const QString &path) const;
    // True when the file holds the transfer's first bytes, at least one.
    bool startsFile(const QString &path) const;

private:
    QByteArray pattern;
    qint64 total;
};
