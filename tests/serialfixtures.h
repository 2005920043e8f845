#pragma once

// Test fixtures for the serial tests: the line settings of a download, a
// pseudo-terminal pair standing in for a port and its far end, a capture of
// standard error, and a log of the debug channel.

#include "serialportsettings.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// 9600 bit/s, 8N1, DTR and RTS raised, no flow control: all 22 fields assigned.
inline Cv::SerialPortSettings *downloadSettings()
{
    auto *s = new Cv::SerialPortSettings;
    s->setBaudRate(9600);
    s->setByteSize(8);
    s->setStopBits(ONESTOPBIT);
    s->setFBinary(1);
    s->setFParity(0);
    s->setParity(NOPARITY);
    s->setFOutxDsrFlow(0);
    s->setFDsrSensitivity(0);
    s->setFDtrControl(DTR_CONTROL_ENABLE);
    s->setFOutxCtsFlow(0);
    s->setFRtsControl(RTS_CONTROL_ENABLE);
    s->setFOutX(0);
    s->setFInX(0);
    s->setXonChar(0x11);
    s->setXoffChar(0x13);
    s->setEvtChar(0);
    s->setXonLim(100);
    s->setXoffLim(100);
    s->setFTXContinueOnXoff(1);
    s->setFErrorChar(0);
    s->setFNull(0);
    s->setFAbortOnError(0);
    return s;
}

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
            if (!waitFor(POLLOUT, deadline))
                return false;
        }
        return true;
    }

    // Reads until count bytes came or the time is up; returns what came.
    QByteArray read(qsizetype count, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        QByteArray data;
        char buffer[4096];
        while (data.size() < count) {
            const ssize_t n = ::read(masterFd, buffer,
                                     std::min<size_t>(sizeof buffer, size_t(count - data.size())));
            if (n > 0) {
                data.append(buffer, n);
                continue;
            }
            if (n == -1 && errno != EAGAIN && errno != EINTR)
                break;
            if (!waitFor(POLLIN, deadline))
                break;
        }
        return data;
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
    bool waitFor(short events, const QDeadlineTimer &deadline)
    {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        pollfd pfd{masterFd, events, 0};
        const int rc = ::poll(&pfd, 1, int(std::min<qint64>(left, 100)));
        return rc >= 0 || errno == EINTR;
    }

    int masterFd = -1;
    int slaveFd = -1;
    QString path;
};

// Redirects file descriptor 2 into a temporary file for its lifetime.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved = ::dup(STDERR_FILENO);
        file = std::tmpfile();
        if (file)
            ::dup2(::fileno(file), STDERR_FILENO);
    }
    ~StderrCapture() { finish(); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    QByteArray finish()
    {
        if (!file)
            return captured;
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        std::rewind(file);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            captured.append(buffer, qsizetype(n));
        std::fclose(file);
        file = nullptr;
        return captured;
    }

private:
    int saved = -1;
    std::FILE *file = nullptr;
    QByteArray captured;
};

// Collects the debug channel while it lives; messages may come from any thread.
class DebugLog
{
public:
    DebugLog()
    {
        QMutexLocker locker(&state().mutex);
        state().lines.clear();
        previous = qInstallMessageHandler(&DebugLog::handler);
    }
    ~DebugLog() { qInstallMessageHandler(previous); }
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    QStringList lines() const
    {
        QMutexLocker locker(&state().mutex);
        return state().lines;
    }

private:
    struct State
    {
        QMutex mutex;
        QStringList lines;
    };
    static State &state()
    {
        static State s;
        return s;
    }
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg)
            return;
        QMutexLocker locker(&state().mutex);
        state().lines.append(message);
    }

    QtMessageHandler previous = nullptr;
};
