#pragma once

#include <QString>

// A plain reader of a port (`cat`) in a process of its own, for the tests of a
// port another program holds. Started with fork and exec only: a process with
// threads may do nothing else in between (sanitizers check that).
class ReaderProcess
{
public:
    explicit ReaderProcess(const QString &path);
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;

    // The process id, or -1 where no reader could be started (not on Windows).
    qint64 pid() const { return m_pid; }
    void stop();

private:
    qint64 m_pid = -1;
};
