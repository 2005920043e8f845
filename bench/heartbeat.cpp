#include "heartbeat.h"

#include "benchclock.h"

Heartbeat::Heartbeat(QObject *parent) : QObject(parent)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, [this] {
        const qint64 now = monotonicNs();
        if (now - last > longest) {
            longest = now - last;
            longestEnd = now;
        }
        last = now;
    });
}

void Heartbeat::restart()
{
    last = monotonicNs();
    longest = 0;
    timer.start();
}

qint64 Heartbeat::longestGapNs() const
{
    return qMax(longest, monotonicNs() - last);
}
