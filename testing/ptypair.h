#pragma once

// A pseudo-terminal pair standing in for a port and its far end.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        char name[PATH_MAX] = {};
        if (::openpty(&masterFd, &slaveFd, name, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
            ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
            ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
        }
    }
    ~PtyPair()
    {
        closeMaster();
        if (slaveFd >= 0)
            ::close(slaveFd);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return masterFd >= 0 && slaveFd >= 0; }
    // The port's device path; our own slave descriptor stays open, so the
    // master sees no hang-up when the port closes, and termios can be read.
    QString slavePath() const { return path; }
    int slave() const { return slaveFd; }

    // The far end goes away, as when an adapter is pulled out.
    void closeMaster()
    {
        if (masterFd >= 0)
            ::close(masterFd);
        masterFd = -1;
    }

    bool write(const QByteArray &data, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n =
                ::write(masterFd, data.constData() + done, static_cast<size_t>(data.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n == -1 && errno != EAGAIN && errno != EINTR)
                return false;
            if (!waitFor(masterFd, POLLOUT, deadline))
                return false;
        }
        return true;
    }

    // Reads until count bytes came or the time is up; returns what came.
    QByteArray read(qsizetype count, int timeoutMs = 5000)
    {
        return readFrom(masterFd, count, timeoutMs);
    }
    // The same at the port's end, for bytes that nobody else took off the line.
    QByteArray readAtPort(qsizetype count, int timeoutMs = 5000)
    {
        return readFrom(slaveFd, count, timeoutMs);
    }
    // Waits until the port's end has input, without taking it.
    bool portHasInput(int timeoutMs = 5000) const
    {
        pollfd pfd{slaveFd, POLLIN, 0};
        int rc;
        do {
            rc = ::poll(&pfd, 1, timeoutMs);
        } while (rc < 0 && errno == EINTR);
        return rc == 1;
    }

    // Whatever arrives within the time, without waiting for a count.
    QByteArray drain(int timeoutMs) { return read(1 << 30, timeoutMs); }

    termios slaveTermios() const
    {
        termios tio{};
        ::tcgetattr(slaveFd, &tio);
        return tio;
    }

private:
    QByteArray readFrom(int fd, qsizetype count, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        QByteArray data;
        char buffer[4096];
        // Read only once poll says so: the port's end blocks.
        while (data.size() < count && waitUntilReady(fd, deadline)) {
            const ssize_t n =
                ::read(fd, buffer, std::min<size_t>(sizeof buffer, size_t(count - data.size())));
            if (n > 0)
                data.append(buffer, n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                break; // hung up
        }
        return data;
    }

    bool waitUntilReady(int fd, const QDeadlineTimer &deadline)
    {
        pollfd pfd{fd, POLLIN, 0};
        int rc;
        do {
            rc = ::poll(&pfd, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
        } while (rc < 0 && errno == EINTR);
        return rc == 1;
    }

    bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
    {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        pollfd pfd{fd, events, 0};
        const int rc = ::poll(&pfd, 1, int(std::min<qint64>(left, 100)));
        return rc >= 0 || errno == EINTR;
    }

    int masterFd = -1;
    int slaveFd = -1;
    QString path;
};
