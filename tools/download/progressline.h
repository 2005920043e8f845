#pragma once

#include <QElapsedTimer>
#include <QString>

// What the command tells on standard error while it runs: notes on lines of
// their own, and the byte count, on a terminal on one line that is
// rewritten, elsewhere (a log file) on a line every few seconds.
class ProgressLine
{
public:
    ProgressLine(bool shown, bool terminal);

    // A note, unless progress is not shown.
    void note(const QString &text);
    // A failure: always shown.
    void failure(const QString &text);
    void count(qint64 bytes);
    // The count as it ended, on a line of its own; nothing more to count.
    void finish();

    static QString bytesText(qint64 bytes);

private:
    void endCountLine();
    void write(const QString &text);

    bool shown;
    bool terminal;
    bool countLineOpen = false;
    bool finished = false;
    qint64 counted = 0;
    qint64 shownCount = -1;
    QElapsedTimer sinceShown;
};
