#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// The program under test, started under the line's wrapper (umockdev-wrapper
// for the test bed) and told the port to open in CV_TESTER_PORT. It reads no
// terminal input (that belongs to the tester) and dies with the tester should
// the tester be killed outright.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // `wrapper` (may be empty) goes before `command`; an empty `port` takes
    // CV_TESTER_PORT out of the environment rather than pass on a stale one.
    // `originalMask` is the signal mask the child starts with (the tester
    // blocks the signals it reads).
    bool start(const QStringList &wrapper, const QStringList &command, const QString &port,
               const sigset_t &originalMask);
    pid_t pid() const { return m_pid; }
    bool running() const { return m_pid > 0 && !m_exited; }

    // Collects the exit status if the child has ended; true once it has.
    bool reap();
    // SIGTERM, then SIGKILL if it is still there after `graceMs`; always reaps.
    void terminate(int graceMs);

    // The status a shell would report: the exit code, or 128 + signal.
    int exitCode() const { return m_exitCode; }
    QString describeExit() const;
    QString errorString() const { return m_errorString; }

private:
    bool waitFor(int timeoutMs);

    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = 0;
    int m_exitCode = -1;
    QString m_errorString;
};
