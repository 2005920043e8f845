#pragma once

#include "recordblocks.h"

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
    // A chunk was kept, from chunkStart to the end of the records.
    void chunkKept(const RecordBlocks &records, qint64 chunkStart);
    bool behind(const RecordBlocks &records) const { return shown < records.size(); }
    qint64 pending(const RecordBlocks &records) const { return records.size() - shown; }
    // Leaves out what is not shown yet up to offset and on to where the next
    // line of the pane starts; false if nothing was left out.
    bool skipTo(const RecordBlocks &records, qint64 offset);
    // The text of at most maxBytes further bytes of the records.
    QString take(const RecordBlocks &records, qsizetype maxBytes);

private:
    void passHidden();
    qint64 stopBefore(qint64 limit) const;

    const qsizetype lineLimit;
    qint64 shown = 0;     // bytes of the records the pane has been given
    qsizetype column = 0; // characters since the last line break
    // Of a chunk with a zero byte the pane shows only what comes before it:
    // the ranges it skips.
    QList<std::pair<qint64, qint64>> skips;
};
