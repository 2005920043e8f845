#pragma once

#include <QByteArray>

#include <chrono>

// Sends a block of bytes as a serial line of a given speed would deliver
// them: every byte is due at a fixed time after the start, so late wake-ups
// catch up instead of adding up. Writes never block; the caller waits for
// nextWake() or, when blocked(), for the descriptor to take more.
class PacedSender
{
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::nanoseconds;

    struct Pacing
    {
        qint64 bytesPerSecond = 960; // 9600 baud, 8N1; 0 sends unpaced
        qint64 pauseEvery = 0;       // bytes between two pauses; 0: no pauses
        Duration pause{0};
        qint64 slice = 16;
    };

    // Sends the first `limit` bytes of `data` (all of them when negative).
    PacedSender(const QByteArray &data, const Pacing &pacing, qint64 limit = -1);

    // Time after the start at which the first `count` bytes have left.
    Duration timeFor(qint64 count) const;
    // How many bytes have left at `elapsed` after the start.
    qint64 dueAt(Duration elapsed) const;

    void start(Clock::time_point now);
    // False when the descriptor failed (other than being full); errno tells why.
    bool writeDue(int fd, Clock::time_point now);
    Clock::time_point nextWake() const;

    bool finished() const { return m_sent >= m_total; }
    bool blocked() const { return m_blocked; }
    qint64 sent() const { return m_sent; }
    qint64 total() const { return m_total; }
    // How often the reader stopped taking bytes long enough to hold the line up.
    int stalls() const { return m_stalls; }

private:
    QByteArray m_data;
    Pacing m_pacing;
    qint64 m_total = 0;
    qint64 m_sent = 0;
    Clock::time_point m_start;
    bool m_blocked = false;
    int m_stalls = 0;
};
