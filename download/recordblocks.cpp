#include "recordblocks.h"

#include <algorithm>

namespace {

// A shared block takes chunks up to this size; larger chunks are blocks of
// their own, kept as they came.
constexpr qsizetype sharedBlockSize = 64 * 1024;

} // namespace

void RecordBlocks::clear()
{
    list.clear();
    starts.clear();
    total = 0;
}

void RecordBlocks::append(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    // Appending into room already reserved moves no kept byte. A block that
    // somebody else holds a copy of is left alone: writing to it would copy it.
    if (!list.isEmpty()) {
        QByteArray &last = list.last();
        if (last.isDetached() && last.capacity() - last.size() >= chunk.size()) {
            last.append(chunk);
            total += chunk.size();
            return;
        }
    }
    // The block before gives back the room it did not fill.
    if (!list.isEmpty() && list.last().isDetached())
        list.last().squeeze();
    starts.append(total);
    if (chunk.size() >= sharedBlockSize / 2) {
        list.append(chunk);
    } else {
        QByteArray block;
        block.reserve(sharedBlockSize);
        block.append(chunk);
        list.append(std::move(block));
    }
    total += chunk.size();
}

RecordBlocks::Position RecordBlocks::locate(qint64 offset) const
{
    const auto after = std::upper_bound(starts.cbegin(), starts.cend(), offset);
    const qsizetype block = qMax<qsizetype>(0, (after - starts.cbegin()) - 1);
    return {block, qsizetype(offset - (starts.isEmpty() ? 0 : starts.at(block)))};
}

QByteArray RecordBlocks::mid(qint64 offset, qint64 maxSize) const
{
    QByteArray result;
    if (offset >= total)
        return result;
    qint64 wanted = maxSize < 0 ? total - offset : qMin(maxSize, total - offset);
    result.reserve(qsizetype(wanted));
    Position at = locate(offset);
    while (wanted > 0) {
        const QByteArray &block = list.at(at.block);
        const qsizetype count = qsizetype(qMin<qint64>(wanted, block.size() - at.index));
        result.append(block.constData() + at.index, count);
        wanted -= count;
        ++at.block;
        at.index = 0;
    }
    return result;
}

QByteArray RecordBlocks::joined() const
{
    return mid(0);
}
