#include "panefeed.h"

#include <cstring>

PaneFeed::PaneFeed(qsizetype lineLimit) : lineLimit(lineLimit) {}

void PaneFeed::restart()
{
    shown = 0;
    column = 0;
    skips.clear();
}

void PaneFeed::chunkKept(const QByteArray &data, qsizetype chunkStart)
{
    const char *chunk = data.constData() + chunkStart;
    const qsizetype size = data.size() - chunkStart;
    const auto *zero = static_cast<const char *>(std::memchr(chunk, 0, std::size_t(size)));
    if (zero)
        skips.append({chunkStart + (zero - chunk), data.size()});
}

QString PaneFeed::take(const QByteArray &data, qsizetype maxBytes)
{
    while (!skips.isEmpty() && skips.constFirst().first <= shown)
        shown = qMax(shown, skips.takeFirst().second);
    qsizetype to = qMin(shown + maxBytes, data.size());
    if (!skips.isEmpty())
        to = qMin(to, skips.constFirst().first);

    QString text;
    text.reserve(to - shown + (to - shown) / lineLimit + 1);
    for (qsizetype i = shown; i < to; ++i) {
        const char c = data.at(i);
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
    shown = to;
    return text;
}
