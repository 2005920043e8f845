#include "panefeed.h"

#include <algorithm>
#include <cstring>

PaneFeed::PaneFeed(qsizetype lineLimit) : lineLimit(lineLimit) {}

void PaneFeed::restart()
{
    shown = 0;
    column = 0;
    skips.clear();
}

void PaneFeed::chunkKept(const RecordBlocks &records, qint64 chunkStart)
{
    qint64 at = chunkStart;
    qint64 zeroAt = -1;
    records.forEachPiece(chunkStart, records.size(), [&](const char *piece, qsizetype size) {
        if (zeroAt < 0) {
            if (const auto *zero = static_cast<const char *>(std::memchr(piece, 0, size_t(size))))
                zeroAt = at + (zero - piece);
        }
        at += size;
    });
    if (zeroAt >= 0)
        skips.append({zeroAt, records.size()});
}

bool PaneFeed::skipTo(const RecordBlocks &records, qint64 offset)
{
    if (offset <= shown)
        return false;
    // Passed over as take() would pass it, so that a long line stays broken
    // where it would have been.
    while (shown < offset) {
        passHidden();
        const qint64 to = stopBefore(offset);
        if (to <= shown)
            break;
        records.forEachPiece(shown, to, [this](const char *piece, qsizetype size) {
            qsizetype lineStart = size;
            while (lineStart > 0 && piece[lineStart - 1] != '\n')
                --lineStart;
            if (lineStart > 0)
                column = 0;
            const qsizetype characters =
                size - lineStart - qsizetype(std::count(piece + lineStart, piece + size, '\r'));
            if (characters > 0)
                column = (column + characters - 1) % lineLimit + 1;
        });
        shown = to;
    }
    // On to where a line of the pane starts: after a line end, or where the
    // pane would break the line.
    passHidden();
    const qint64 end = stopBefore(records.size());
    records.forEachPiece(shown, end, [this](const char *piece, qsizetype size) {
        for (qsizetype i = 0; i < size && column != 0 && column != lineLimit; ++i, ++shown) {
            if (piece[i] == '\n')
                column = 0;
            else if (piece[i] != '\r')
                ++column;
        }
    });
    if (column == lineLimit)
        column = 0;
    return true;
}

// Past a range the pane does not show, if one starts where it stands.
void PaneFeed::passHidden()
{
    while (!skips.isEmpty() && skips.constFirst().first <= shown)
        shown = qMax(shown, skips.takeFirst().second);
}

// limit, or where the next range the pane does not show starts.
qint64 PaneFeed::stopBefore(qint64 limit) const
{
    return skips.isEmpty() ? limit : qMin(limit, skips.constFirst().first);
}

QString PaneFeed::take(const RecordBlocks &records, qsizetype maxBytes)
{
    passHidden();
    const qint64 to = stopBefore(qMin(shown + maxBytes, records.size()));

    QString text;
    if (to <= shown)
        return text;
    text.reserve(qsizetype(to - shown + (to - shown) / lineLimit + 1));
    records.forEachPiece(shown, to, [&](const char *piece, qsizetype size) {
        for (qsizetype i = 0; i < size; ++i) {
            const char c = piece[i];
            if (c == '\r')
                continue;
            if (c == '\n') {
                column = 0;
            } else if (column == lineLimit) {
                text += QLatin1Char('\n');
                column = 1;
            } else {
                ++column;
            }
            text += QLatin1Char(c);
        }
    });
    shown = to;
    return text;
}
