#include "pacedsender.h"

#include <cerrno>
#include <unistd.h>

namespace {
constexpr qint64 nsPerSecond = 1000000000;
constexpr qint64 maxWrite = 4096;
} // namespace

PacedSender::PacedSender(const QByteArray &data, const Pacing &pacing, qint64 limit)
    : m_data(data)
    , m_pacing(pacing)
    , m_total(limit >= 0 ? qMin(limit, qint64(data.size())) : qint64(data.size()))
{
    if (m_pacing.slice < 1)
        m_pacing.slice = 1;
    if (m_pacing.bytesPerSecond < 0)
        m_pacing.bytesPerSecond = 0;
    if (m_pacing.pauseEvery < 0)
        m_pacing.pauseEvery = 0;
}

PacedSender::Duration PacedSender::timeFor(qint64 count) const
{
    if (count <= 0)
        return Duration(0);
    Duration t(0);
    if (m_pacing.bytesPerSecond > 0) {
        // Split to keep count * 1e9 clear of overflow for any file size.
        const qint64 rate = m_pacing.bytesPerSecond;
        t += Duration((count / rate) * nsPerSecond + (count % rate) * nsPerSecond / rate);
    }
    if (m_pacing.pauseEvery > 0)
        t += m_pacing.pause * ((count - 1) / m_pacing.pauseEvery);
    return t;
}

qint64 PacedSender::dueAt(Duration elapsed) const
{
    // timeFor() only grows with count, so search for the last count in time.
    qint64 low = 0;
    qint64 high = m_total;
    while (low < high) {
        const qint64 mid = low + (high - low + 1) / 2;
        if (timeFor(mid) <= elapsed)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

void PacedSender::start(Clock::time_point now)
{
    m_start = now;
    m_sent = 0;
    m_blocked = false;
    m_stalls = 0;
}

bool PacedSender::writeDue(int fd, Clock::time_point now)
{
    qint64 due = dueAt(now - m_start);
    if (m_blocked && m_pacing.bytesPerSecond > 0 && due - m_sent > m_pacing.slice) {
        // A line never runs faster than its speed: after the reader held it
        // up, carry on from here instead of bursting out the backlog.
        m_start = now - timeFor(m_sent);
        due = dueAt(now - m_start);
        ++m_stalls;
    }
    m_blocked = false;
    while (m_sent < due) {
        const qint64 chunk = qMin(due - m_sent, maxWrite);
        const ssize_t n = ::write(fd, m_data.constData() + m_sent, size_t(chunk));
        if (n > 0) {
            m_sent += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_blocked = true;
            break;
        } else {
            if (n == 0)
                errno = EIO;
            return false;
        }
    }
    return true;
}

PacedSender::Clock::time_point PacedSender::nextWake() const
{
    qint64 target = qMin(m_sent + m_pacing.slice, m_total);
    if (m_pacing.pauseEvery > 0) {
        // Do not let a slice straddle a pause: its first part is due before it.
        const qint64 boundary = (m_sent / m_pacing.pauseEvery + 1) * m_pacing.pauseEvery;
        target = qMin(target, boundary);
    }
    return m_start + timeFor(target);
}
