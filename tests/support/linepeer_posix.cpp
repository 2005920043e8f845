#include "linepeer.h"

#include "ptypair.h"

#include <sys/ioctl.h>

struct LinePeer::Private
{
    PtyPair pty;
};

LinePeer::LinePeer() : d(std::make_unique<Private>()) {}

LinePeer::~LinePeer() = default;

bool LinePeer::isValid() const
{
    return d->pty.isValid();
}

QString LinePeer::portName() const
{
    return d->pty.slavePath();
}

bool LinePeer::write(const QByteArray &data, int timeoutMs)
{
    return d->pty.write(data, timeoutMs);
}

QByteArray LinePeer::read(qsizetype count, int timeoutMs)
{
    return d->pty.read(count, timeoutMs);
}

int LinePeer::portInputCount() const
{
    int queued = 0;
    return ::ioctl(d->pty.slave(), FIONREAD, &queued) == 0 ? queued : -1;
}

bool LinePeer::hangUp()
{
    d->pty.closeMaster();
    return true;
}

QString LinePeer::missingPortName()
{
    return QStringLiteral("/dev/cv-no-such-port-%1").arg(::getpid());
}

int LinePeer::missingPortSystemError()
{
    return ENOENT;
}

int LinePeer::heldPortSystemError()
{
    return EWOULDBLOCK;
}

bool LinePeer::underWine()
{
    return false;
}
