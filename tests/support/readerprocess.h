#pragma once

#include <QString>

// Another program on a port, in a process of its own, for the tests of a port
// that is taken: a plain reader (`cat`), or one that only holds it open
// without a lock and without reading, as a terminal program or a modem
// service may. Started with posix_spawn, which does not copy the test's
// memory: forking a large sanitizer process on a busy machine takes seconds.
class ReaderProcess
{
public:
    enum Kind { Reads, HoldsOnly };
    explicit ReaderProcess(const QString &path, Kind kind = Reads);
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;

    // The process id, or -1 where none could be started (not on Windows).
    qint64 pid() const { return m_pid; }
    // Whether the process has the port open yet; it may take a while to
    // start on a loaded machine.
    bool hasOpened() const;
    void stop();

private:
    QString m_path;
    qint64 m_pid = -1;
};
