#include "lockedport.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

LockedPort::LockedPort(const QString &path)
{
    const QByteArray file = QFile::encodeName(path);
    do {
        m_fd = ::open(file.constData(), O_RDWR | O_NOCTTY);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        return;
    int locked;
    do {
        locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    m_locked = locked == 0;
}

LockedPort::~LockedPort()
{
    release();
}

void LockedPort::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_locked = false;
}
