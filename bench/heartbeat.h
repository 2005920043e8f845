#pragma once

#include <QObject>
#include <QTimer>

// A fast timer in the GUI thread: the longest time between two of its ticks
// is the longest time the thread did not get round to its events.
class Heartbeat : public QObject
{
    Q_OBJECT

public:
    explicit Heartbeat(QObject *parent = nullptr);

    // Forgets the gaps so far and starts watching from now.
    void restart();
    // The longest gap, counting the one still open now.
    qint64 longestGapNs() const;
    // When the longest gap so far ended.
    qint64 longestGapEndNs() const { return longestEnd; }

private:
    QTimer timer;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestEnd = 0;
};
