#include "panefeed.h"

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

QString PaneFeed::take(const RecordBlocks &records, qsizetype maxBytes)
{
    while (!skips.isEmpty() && skips.constFirst().first <= shown)
        shown = qMax(shown, skips.takeFirst().second);
    qint64 to = qMin(shown + maxBytes, records.size());
    if (!skips.isEmpty())
        to = qMin(to, skips.constFirst().first);

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
