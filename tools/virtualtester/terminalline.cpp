#include "terminalline.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
}

void closeFd(int *fd)
{
    if (*fd >= 0)
        ::close(*fd);
    *fd = -1;
}

// Raw 8N1 at the tester's 9600 baud (a pseudo-terminal ignores the speed),
// not waiting for a carrier: the bytes pass exactly, without echo.
bool makeRaw(int fd)
{
    termios mode{};
    if (::tcgetattr(fd, &mode) < 0)
        return false;
    ::cfmakeraw(&mode);
    ::cfsetspeed(&mode, B9600);
    mode.c_cflag |= CLOCAL | CREAD;
    int result;
    do {
        result = ::tcsetattr(fd, TCSANOW, &mode);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

} // namespace

TerminalLine::TerminalLine(const QString &path, const QString &programPort)
    : m_path(path), m_programPort(programPort)
{}

TerminalLine::~TerminalLine()
{
    closeFd(&m_holdFd);
    closeFd(&m_lineFd);
}

bool TerminalLine::create()
{
    if (present())
        return true;
    return m_path.isEmpty() ? openPair() : openPath();
}

bool TerminalLine::openPath()
{
    const QByteArray path = m_path.toLocal8Bit();
    int fd;
    do {
        // Non-blocking: a serial port without a carrier opens at once.
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_errorString = systemError(QStringLiteral("cannot open %1").arg(m_path));
        return false;
    }
    if (!::isatty(fd)) {
        m_errorString = QStringLiteral("%1 is not a terminal").arg(m_path);
        ::close(fd);
        return false;
    }
    if (!makeRaw(fd)) {
        m_errorString = systemError(QStringLiteral("cannot make %1 raw").arg(m_path));
        ::close(fd);
        return false;
    }
    m_lineFd = fd;
    return true;
}

bool TerminalLine::openPair()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        m_errorString = systemError(QStringLiteral("cannot make a pseudo-terminal"));
        return false;
    }
    char name[128] = {};
    int flags = -1;
    if (::grantpt(master) < 0 || ::unlockpt(master) < 0 ||
        ::ptsname_r(master, name, sizeof name) != 0 || (flags = ::fcntl(master, F_GETFL)) < 0 ||
        ::fcntl(master, F_SETFL, flags | O_NONBLOCK) < 0) {
        m_errorString = systemError(QStringLiteral("cannot make a pseudo-terminal"));
        ::close(master);
        return false;
    }
    int hold;
    do {
        hold = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (hold < 0 && errno == EINTR);
    // The line discipline that handles the bytes both ways is the slave's.
    if (hold < 0 || !makeRaw(hold)) {
        m_errorString = systemError(QStringLiteral("cannot set up %1").arg(QLatin1String(name)));
        if (hold >= 0)
            ::close(hold);
        ::close(master);
        return false;
    }
    m_lineFd = master;
    m_holdFd = hold;
    m_programPort = QString::fromLocal8Bit(name);
    return true;
}

int TerminalLine::unreadBytes() const
{
    int count = 0;
    if (m_holdFd < 0 || ::ioctl(m_holdFd, FIONREAD, &count) < 0)
        return -1;
    return count;
}

bool TerminalLine::pullOut()
{
    if (!present())
        return false;
    if (!m_path.isEmpty()) {
        m_errorString = QStringLiteral("the far end of %1 cannot be hung up from here").arg(m_path);
        closeFd(&m_lineFd);
        return false;
    }
    // The master's last descriptor going hangs up every open slave.
    closeFd(&m_holdFd);
    closeFd(&m_lineFd);
    return true;
}

bool TerminalLine::plugIn()
{
    if (present())
        return true;
    m_errorString = QStringLiteral("a line that was hung up does not come back");
    return false;
}

QString TerminalLine::readyText() const
{
    if (m_path.isEmpty())
        return QStringLiteral("serving on a new pseudo-terminal; the program opens %1")
            .arg(m_programPort);
    if (m_programPort.isEmpty())
        return QStringLiteral("serving on %1; the program opens its far end (not known here: "
                              "--program-port names it)")
            .arg(m_path);
    return QStringLiteral("serving on %1; the program opens %2").arg(m_path, m_programPort);
}

QString TerminalLine::where() const
{
    return m_programPort.isEmpty() ? QStringLiteral("on the far end of %1").arg(m_path)
                                   : QStringLiteral("on %1").arg(m_programPort);
}

QString TerminalLine::startHint() const
{
    return m_programPort.isEmpty()
               ? QStringLiteral("start a program on the far end of %1").arg(m_path)
               : QStringLiteral("start a program on %1").arg(m_programPort);
}

QByteArray TerminalLine::shellVariables() const
{
    if (m_programPort.isEmpty())
        return QByteArray();
    return "CV_TESTER_PORT=" + m_programPort.toLocal8Bit() + '\n';
}
