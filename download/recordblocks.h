#pragma once

#include <QByteArray>
#include <QList>

// The records of a download as they came, in blocks that are never copied
// again once kept: a single growing array would copy everything kept so far
// each time it doubles, and hold the old and the new copy at once. Small
// chunks of a slow line share a block, so that a long slow download does not
// cost a block's bookkeeping per few bytes.
class RecordBlocks
{
public:
    void clear();
    void append(const QByteArray &chunk);

    qint64 size() const { return total; }
    bool isEmpty() const { return total == 0; }
    const QList<QByteArray> &blocks() const { return list; }

    // The block holding byte offset, and where in it; offset < size().
    struct Position
    {
        qsizetype block = 0;
        qsizetype index = 0;
    };
    Position locate(qint64 offset) const;
    // A copy of the bytes from offset on, at most maxSize of them.
    QByteArray mid(qint64 offset, qint64 maxSize = -1) const;
    // One array of everything, for those who need one (small downloads).
    QByteArray joined() const;
    // Calls visit(const char *data, qsizetype size) for the bytes from
    // offset `from` up to `to`, block by block, without copying them.
    template<typename Visit> void forEachPiece(qint64 from, qint64 to, Visit visit) const
    {
        if (from >= to)
            return;
        Position at = locate(from);
        while (from < to && at.block < list.size()) {
            const QByteArray &block = list.at(at.block);
            const qsizetype count = qsizetype(qMin<qint64>(to - from, block.size() - at.index));
            visit(block.constData() + at.index, count);
            from += count;
            ++at.block;
            at.index = 0;
        }
    }

private:
    QList<QByteArray> list;
    QList<qint64> starts; // offset of each block's first byte
    qint64 total = 0;
};
