#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// What the pane shows of the kept bytes, handed out a slice at a time: the
// text up to a zero byte of each chunk, without carriage returns, and with a
// line break after every lineLimit characters of a line that has none of its
// own. A text pane lays out a whole line again for each piece added to it, so
// a line without end (a tester that ends its lines with a lone carriage
// return) would cost time with the square of its length. The breaks are in
// the pane only; the kept bytes stay as they came.
class PaneFeed
{
public:
    explicit PaneFeed(qsizetype lineLimit);

    // A new download: nothing shown yet.
    void restart();
    // A chunk was appended to data, from chunkStart to its end.
    void chunkKept(const QByteArray &data, qsizetype chunkStart);
    bool behind(const QByteArray &data) const { return shown < data.size(); }
    // The text of at most maxBytes further bytes of data.
    QString take(const QByteArray &data, qsizetype maxBytes);

private:
    const qsizetype lineLimit;
    qsizetype shown = 0;  // bytes of data the pane has been given
    qsizetype column = 0; // characters since the last line break
    // Of a chunk with a zero byte the pane shows only what comes before it:
    // the ranges it skips.
    QList<std::pair<qsizetype, qsizetype>> skips;
};
