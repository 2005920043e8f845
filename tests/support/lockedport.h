#pragma once

#include <QString>

// A port held open under an exclusive lock by this process, as another copy
// of the program would hold it.
class LockedPort
{
public:
    explicit LockedPort(const QString &path);
    ~LockedPort();
    LockedPort(const LockedPort &) = delete;
    LockedPort &operator=(const LockedPort &) = delete;

    // Whether the port was opened and the lock taken.
    bool isLocked() const { return m_locked; }
    void release();

private:
    int m_fd = -1;
    bool m_locked = false;
};
