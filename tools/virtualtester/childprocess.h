#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// The program under test, started through umockdev-wrapper so that it sees
// the test bed. It reads no terminal input (that belongs to the tester) and
// dies with the tester should the tester be killed outright.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // `originalMask` is the signal mask the child starts with (the tester
    // blocks the signals it reads).
    bool start(const QStringList &command, const sigset_t &originalMask);
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
