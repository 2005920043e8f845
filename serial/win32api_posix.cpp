#include "win32api.h"

#include "portholders.h"
#include "portlock.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

thread_local DWORD t_lastError = ERROR_SUCCESS;
thread_local int t_lastErrno = 0;

BOOL fail(DWORD code, int err)
{
    t_lastError = code;
    t_lastErrno = err;
    return FALSE;
}

// The heap object behind a HANDLE. The tag catches handles that were never
// ours; a handle is used by one thread at a time, except for its time-outs.
struct CommPort
{
    static constexpr std::uint32_t liveTag = 0x436f6d6d; // "Comm"

    std::uint32_t tag = liveTag;
    int fd = -1;
    bool locked = false;
    bool exclusiveMode = false;
    Cv::PortLock portLock;
    std::mutex timeoutsMutex;
    COMMTIMEOUTS timeouts{};

    COMMTIMEOUTS currentTimeouts()
    {
        const std::lock_guard lock(timeoutsMutex);
        return timeouts;
    }
};

CommPort *portFromHandle(HANDLE handle)
{
    auto *port = static_cast<CommPort *>(handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || port->tag != CommPort::liveTag) {
        fail(ERROR_INVALID_HANDLE, EBADF);
        return nullptr;
    }
    return port;
}

DWORD errorFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOTTY:
        return ERROR_INVALID_FUNCTION;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL failWithErrno(int err)
{
    return fail(errorFromErrno(err), err);
}

bool isHangUpErrno(int err)
{
    return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE;
}

// An adapter pulled out, or the other side of a pseudo-terminal closed: one
// code for every way the system reports it.
BOOL failHangUp(int err)
{
    return fail(ERROR_DEVICE_NOT_CONNECTED, err);
}

bool isMissingFeature(int err)
{
    return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP;
}

int ioctlRetry(int fd, unsigned long request, void *arg)
{
    int rc;
    do {
        rc = ::ioctl(fd, request, arg);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

int ioctlRetry(int fd, unsigned long request)
{
    int rc;
    do {
        rc = ::ioctl(fd, request);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

int flockRetry(int fd, int operation)
{
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

int tcgetattrRetry(int fd, termios *tio)
{
    int rc;
    do {
        rc = ::tcgetattr(fd, tio);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

int tcsetattrRetry(int fd, const termios *tio)
{
    int rc;
    do {
        rc = ::tcsetattr(fd, TCSANOW, tio);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

// Waits for events on fd until the deadline (none: for ever). Returns the
// reported events, 0 once the deadline has passed, -1 with errno on failure.
int waitForEvents(int fd, short events, const Deadline &deadline)
{
    for (;;) {
        timespec timeout{};
        timespec *timeoutArg = nullptr;
        if (deadline) {
            const auto left = *deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return 0;
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            timeoutArg = &timeout;
        }
        pollfd pfd{fd, events, 0};
        const int rc = ::ppoll(&pfd, 1, timeoutArg, nullptr);
        if (rc > 0)
            return pfd.revents;
        if (rc == -1 && errno != EINTR)
            return -1;
        // Timed out or interrupted: the loop looks at the clock again, so a
        // wait never ends before its deadline.
    }
}

// A hung-up line reads like an empty one; only poll tells them apart.
bool hangUpPending(int fd)
{
    pollfd pfd{fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&pfd, 1, 0);
    } while (rc == -1 && errno == EINTR);
    return rc > 0 && (pfd.revents & (POLLHUP | POLLERR));
}

// Milliseconds from the COMMTIMEOUTS rules: multiplier x count + constant,
// none when both are zero.
Deadline totalDeadline(Clock::time_point start, DWORD multiplier, DWORD constant, DWORD count)
{
    if (multiplier == 0 && constant == 0)
        return std::nullopt;
    const std::uint64_t ms =
        std::uint64_t{multiplier} * std::uint64_t{count} + std::uint64_t{constant};
    // Beyond a few years the wait is in effect unbounded, and the clock
    // arithmetic must not overflow.
    constexpr std::uint64_t unbounded = std::uint64_t{1} << 40;
    if (ms >= unbounded)
        return std::nullopt;
    return start + std::chrono::milliseconds(ms);
}

Deadline earlier(const Deadline &a, const Deadline &b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

struct ReadPlan
{
    bool returnAtOnce = false;  // hand back what is waiting, never wait
    bool returnOnFirst = false; // wait for a first byte, then return with what came
    Deadline total;
    std::optional<Clock::duration> interval;
};

ReadPlan readPlan(const COMMTIMEOUTS &t, DWORD count, Clock::time_point start)
{
    ReadPlan plan;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0) {
        plan.returnAtOnce = true;
        return plan;
    }
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
        t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < MAXDWORD) {
        plan.returnOnFirst = true;
        plan.total = start + std::chrono::milliseconds(t.ReadTotalTimeoutConstant);
        return plan;
    }
    plan.total =
        totalDeadline(start, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, count);
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD)
        plan.interval = std::chrono::milliseconds(t.ReadIntervalTimeout);
    return plan;
}

enum class Transfer { Moved, Nothing, EndOfFile, Failed };

Transfer readSome(int fd, char *data, std::size_t size, std::size_t *moved, int *err)
{
    ssize_t n;
    do {
        n = ::read(fd, data, size);
    } while (n == -1 && errno == EINTR);
    if (n > 0) {
        *moved = static_cast<std::size_t>(n);
        return Transfer::Moved;
    }
    if (n == 0)
        return Transfer::EndOfFile;
    *err = errno;
    return (*err == EAGAIN || *err == EWOULDBLOCK) ? Transfer::Nothing : Transfer::Failed;
}

Transfer writeSome(int fd, const char *data, std::size_t size, std::size_t *moved, int *err)
{
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n == -1 && errno == EINTR);
    if (n > 0) {
        *moved = static_cast<std::size_t>(n);
        return Transfer::Moved;
    }
    if (n == 0)
        return Transfer::Nothing;
    *err = errno;
    return (*err == EAGAIN || *err == EWOULDBLOCK) ? Transfer::Nothing : Transfer::Failed;
}

struct BaudEntry
{
    DWORD rate;
    speed_t speed;
};

constexpr std::array<BaudEntry, 30> baudTable{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

std::optional<speed_t> speedForRate(DWORD rate)
{
    for (const BaudEntry &entry : baudTable) {
        if (entry.rate == rate)
            return entry.speed;
    }
    return std::nullopt;
}

DWORD rateForSpeed(speed_t speed)
{
    for (const BaudEntry &entry : baudTable) {
        if (entry.speed == speed)
            return entry.rate;
    }
    return 0;
}

// UTF-16 to UTF-8; false for unpaired surrogates or a result longer than
// maxBytes.
bool toUtf8(LPCWSTR text, std::size_t maxBytes, std::string *out)
{
    for (std::size_t i = 0; text[i] != 0; ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xd800 && cp <= 0xdbff) {
            const std::uint32_t low = text[i + 1];
            if (low < 0xdc00 || low > 0xdfff)
                return false;
            cp = 0x10000 + ((cp - 0xd800) << 10) + (low - 0xdc00);
            ++i;
        } else if (cp >= 0xdc00 && cp <= 0xdfff) {
            return false;
        }
        if (cp < 0x80) {
            out->push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out->push_back(static_cast<char>(0xc0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        } else if (cp < 0x10000) {
            out->push_back(static_cast<char>(0xe0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        } else {
            out->push_back(static_cast<char>(0xf0 | (cp >> 18)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
        }
        if (out->size() > maxBytes)
            return false;
    }
    return true;
}

void closeFd(int fd)
{
    // Linux releases the descriptor even when close reports EINTR, so a
    // retry could close a descriptor another thread has just been given.
    ::close(fd);
}

// The line bits SetCommState decides; a driver that silently keeps others
// than those asked for cannot take the setting.
constexpr tcflag_t lineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

} // namespace

int cvLastSystemErrorNumber()
{
    return t_lastErrno;
}

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
    t_lastErrno = 0;
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE)
{
    if (lpFileName == nullptr || dwCreationDisposition != OPEN_EXISTING) {
        fail(ERROR_INVALID_PARAMETER, EINVAL);
        return INVALID_HANDLE_VALUE;
    }
    if (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) {
        fail(ERROR_NOT_SUPPORTED, EOPNOTSUPP);
        return INVALID_HANDLE_VALUE;
    }
    if (lpFileName[0] == 0) {
        fail(ERROR_PATH_NOT_FOUND, ENOENT);
        return INVALID_HANDLE_VALUE;
    }

    std::string path;
    if (lpFileName[0] != u'/')
        path = "/dev/";
    const std::size_t maxBytes = PATH_MAX - 1; // room for the terminating zero
    std::string name;
    if (!toUtf8(lpFileName, maxBytes, &name)) {
        if (name.size() > maxBytes)
            fail(ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG);
        else
            fail(ERROR_INVALID_PARAMETER, EILSEQ);
        return INVALID_HANDLE_VALUE;
    }
    path += name;
    if (path.size() > maxBytes) {
        fail(ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG);
        return INVALID_HANDLE_VALUE;
    }

    int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    const bool wantRead = dwDesiredAccess & GENERIC_READ;
    const bool wantWrite = dwDesiredAccess & GENERIC_WRITE;
    if (wantRead && !wantWrite)
        flags |= O_RDONLY;
    else if (wantWrite && !wantRead)
        flags |= O_WRONLY;
    else
        flags |= O_RDWR;

    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) {
        const int err = errno;
        // A tty node without hardware behind it answers EIO: no such port.
        fail(err == EIO ? ERROR_FILE_NOT_FOUND : errorFromErrno(err), err);
        return INVALID_HANDLE_VALUE;
    }

    // A program that opened the port without a lock (a terminal program, a
    // script, a modem service) would share the line unnoticed, each side
    // taking bytes the other never sees. Exclusive, as share mode 0 is on
    // Windows. Looked for once the port is open, as only then can a tty be
    // told from other devices that every process holds (/dev/null); opening
    // a tty that is open elsewhere already changes nothing on its line.
    const bool exclusive = dwShareMode == 0;
    termios line;
    const bool tty = tcgetattrRetry(fd, &line) == 0;
    if (exclusive && tty && !Cv::findPortHolders(path.c_str()).empty()) {
        closeFd(fd);
        // The verdict is ours, not the system's: no system error goes with it.
        fail(ERROR_SHARING_VIOLATION, 0);
        return INVALID_HANDLE_VALUE;
    }

    // The lock is what keeps a second program off the port: root passes
    // TIOCEXCL, and emulated ttys do not support it at all.
    if (flockRetry(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == -1) {
        const int err = errno;
        closeFd(fd);
        fail(err == EWOULDBLOCK ? ERROR_ACCESS_DENIED : errorFromErrno(err), err);
        return INVALID_HANDLE_VALUE;
    }

    auto *port = new CommPort;
    port->fd = fd;
    port->locked = true;
    // Programs of other users, out of sight in /proc, say so in the lock
    // file. Without a lock folder we may write to, the port goes without.
    if (exclusive && tty &&
        port->portLock.take(path.c_str()) == Cv::PortLock::Result::HeldByOther) {
        CloseHandle(port);
        fail(ERROR_SHARING_VIOLATION, 0);
        return INVALID_HANDLE_VALUE;
    }
    port->exclusiveMode = exclusive && ioctlRetry(fd, TIOCEXCL) == 0;
    return port;
}

BOOL CloseHandle(HANDLE hObject)
{
    CommPort *port = portFromHandle(hObject);
    if (!port)
        return FALSE;
    if (port->exclusiveMode)
        ioctlRetry(port->fd, TIOCNXCL);
    if (port->locked)
        flockRetry(port->fd, LOCK_UN);
    closeFd(port->fd);
    port->tag = 0;
    delete port;
    return TRUE;
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB)
{
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (!lpDCB)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);

    termios tio{};
    if (tcgetattrRetry(port->fd, &tio) == -1)
        return failWithErrno(errno);

    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = rateForSpeed(::cfgetospeed(&tio));
    dcb.fBinary = 1;

    switch (tio.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }

    if (!(tio.c_cflag & PARENB))
        dcb.Parity = NOPARITY;
    else if (tio.c_cflag & CMSPAR)
        dcb.Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb.Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    dcb.fParity = (tio.c_iflag & INPCK) ? 1 : 0;

    // Two stop bits with five data bits are one and a half on the wire.
    if (tio.c_cflag & CSTOPB)
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    else
        dcb.StopBits = ONESTOPBIT;

    int lines = 0;
    const bool haveLines = ioctlRetry(port->fd, TIOCMGET, &lines) == 0;
    if (tio.c_cflag & CRTSCTS) {
        dcb.fOutxCtsFlow = 1;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else {
        dcb.fRtsControl =
            haveLines && (lines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    dcb.fDtrControl = haveLines && (lines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;

    dcb.fOutX = (tio.c_iflag & IXON) ? 1 : 0;
    dcb.fInX = (tio.c_iflag & IXOFF) ? 1 : 0;
    dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);

    *lpDCB = dcb;
    return TRUE;
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB)
{
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (!lpDCB)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    const DCB &dcb = *lpDCB;

    // Everything is checked before the line is touched, so a refused DCB
    // leaves the port as it was.
    const std::optional<speed_t> speed = speedForRate(dcb.BaudRate);
    tcflag_t sizeBits = 0;
    switch (dcb.ByteSize) {
    case 5:
        sizeBits = CS5;
        break;
    case 6:
        sizeBits = CS6;
        break;
    case 7:
        sizeBits = CS7;
        break;
    case 8:
        sizeBits = CS8;
        break;
    default:
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    }
    if (!speed || dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    // A UART sends one and a half stop bits for two with five data bits, so
    // 1.5 exists only with five and 2 only with more.
    if (dcb.StopBits != ONESTOPBIT && (dcb.StopBits == ONE5STOPBITS) != (dcb.ByteSize == 5))
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    // No DSR flow control, DTR handshake or RTS toggling on this platform.
    if (dcb.fOutxDsrFlow || dcb.fDtrControl >= DTR_CONTROL_HANDSHAKE ||
        dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);

    termios old{};
    if (tcgetattrRetry(port->fd, &old) == -1)
        return failWithErrno(errno);

    termios tio = old;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~lineBits;
    tio.c_cflag |= CLOCAL | CREAD | sizeBits;
    switch (dcb.Parity) {
    case ODDPARITY:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        tio.c_cflag |= PARENB;
        break;
    case MARKPARITY:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != ONESTOPBIT)
        tio.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        tio.c_cflag |= CRTSCTS;

    tio.c_iflag &= ~(INPCK | IGNPAR | IXON | IXOFF | IXANY);
    if (dcb.fParity)
        tio.c_iflag |= INPCK;
    if (dcb.fOutX)
        tio.c_iflag |= IXON;
    if (dcb.fInX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetspeed(&tio, *speed);

    if (tcsetattrRetry(port->fd, &tio) == -1) {
        const int err = errno;
        tcsetattrRetry(port->fd, &old);
        return failWithErrno(err);
    }

    // tcsetattr succeeds when any part of the request was taken; a line that
    // kept other bits or another rate cannot run this DCB.
    termios now{};
    if (tcgetattrRetry(port->fd, &now) == -1)
        return failWithErrno(errno);
    if ((now.c_cflag & lineBits) != (tio.c_cflag & lineBits) || ::cfgetospeed(&now) != *speed) {
        tcsetattrRetry(port->fd, &old);
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    }

    int dtr = TIOCM_DTR;
    const unsigned long dtrRequest = dcb.fDtrControl == DTR_CONTROL_ENABLE ? TIOCMBIS : TIOCMBIC;
    if (ioctlRetry(port->fd, dtrRequest, &dtr) == -1 && !isMissingFeature(errno))
        return failWithErrno(errno);
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) {
        int rts = TIOCM_RTS;
        const unsigned long rtsRequest =
            dcb.fRtsControl == RTS_CONTROL_ENABLE ? TIOCMBIS : TIOCMBIC;
        if (ioctlRetry(port->fd, rtsRequest, &rts) == -1 && !isMissingFeature(errno))
            return failWithErrno(errno);
    }
    return TRUE;
}

BOOL SetCommMask(HANDLE hFile, DWORD)
{
    return portFromHandle(hFile) ? TRUE : FALSE;
}

BOOL SetupComm(HANDLE hFile, DWORD, DWORD)
{
    // The queue sizes are a recommendation; the kernel's buffers stay.
    return portFromHandle(hFile) ? TRUE : FALSE;
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags)
{
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (dwFlags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    // Every transfer is synchronous, so there is nothing pending to abort.
    const bool input = dwFlags & PURGE_RXCLEAR;
    const bool output = dwFlags & PURGE_TXCLEAR;
    if (!input && !output)
        return TRUE;
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    int rc;
    do {
        rc = ::tcflush(port->fd, queue);
    } while (rc == -1 && errno == EINTR);
    return rc == 0 ? TRUE : failWithErrno(errno);
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (!lpCommTimeouts)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    const COMMTIMEOUTS &t = *lpCommTimeouts;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
        t.ReadTotalTimeoutConstant == MAXDWORD)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    const std::lock_guard lock(port->timeoutsMutex);
    port->timeouts = t;
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (!lpCommTimeouts)
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    *lpCommTimeouts = port->currentTimeouts();
    return TRUE;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (lpOverlapped || !lpNumberOfBytesRead || (!lpBuffer && nNumberOfBytesToRead > 0))
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    if (nNumberOfBytesToRead == 0)
        return TRUE;

    const COMMTIMEOUTS timeouts = port->currentTimeouts();
    const ReadPlan plan = readPlan(timeouts, nNumberOfBytesToRead, Clock::now());

    char *data = static_cast<char *>(lpBuffer);
    DWORD got = 0;
    Deadline intervalEnd;
    int pollEvents = 0; // what the last wait reported, 0 before any wait
    for (;;) {
        std::size_t moved = 0;
        int err = 0;
        const Transfer result =
            readSome(port->fd, data + got, nNumberOfBytesToRead - got, &moved, &err);
        if (result == Transfer::Moved) {
            got += static_cast<DWORD>(moved);
            pollEvents = 0;
            if (got == nNumberOfBytesToRead || plan.returnOnFirst)
                break;
            if (plan.interval)
                intervalEnd = Clock::now() + *plan.interval;
            continue;
        }
        // Bytes that came before a failure are handed out first; the next
        // call reports it.
        if (result == Transfer::Failed) {
            if (got > 0)
                break;
            return isHangUpErrno(err) ? failHangUp(err) : failWithErrno(err);
        }
        // A raw tty with VMIN 0 reads 0 when it is merely empty, so a read of
        // 0 is a hang-up only right after poll said there was something.
        const bool hungUp = (pollEvents & (POLLHUP | POLLERR)) ||
                            (result == Transfer::EndOfFile && (pollEvents & POLLIN));
        if (hungUp) {
            if (got > 0)
                break;
            return failHangUp(EIO);
        }
        if (plan.returnAtOnce) {
            if (got == 0 && hangUpPending(port->fd))
                return failHangUp(EIO);
            break;
        }
        const int events = waitForEvents(port->fd, POLLIN, earlier(plan.total, intervalEnd));
        if (events == -1) {
            if (got > 0)
                break;
            return failWithErrno(errno);
        }
        if (events == 0)
            break;
        if (events & POLLNVAL)
            return fail(ERROR_INVALID_HANDLE, EBADF);
        pollEvents = events;
    }
    *lpNumberOfBytesRead = got;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;
    if (lpOverlapped || !lpNumberOfBytesWritten || (!lpBuffer && nNumberOfBytesToWrite > 0))
        return fail(ERROR_INVALID_PARAMETER, EINVAL);
    if (nNumberOfBytesToWrite == 0)
        return TRUE;

    const COMMTIMEOUTS timeouts = port->currentTimeouts();
    const Deadline deadline =
        totalDeadline(Clock::now(), timeouts.WriteTotalTimeoutMultiplier,
                      timeouts.WriteTotalTimeoutConstant, nNumberOfBytesToWrite);

    const char *data = static_cast<const char *>(lpBuffer);
    DWORD sent = 0;
    int pollEvents = 0;
    for (;;) {
        std::size_t moved = 0;
        int err = 0;
        const Transfer result =
            writeSome(port->fd, data + sent, nNumberOfBytesToWrite - sent, &moved, &err);
        if (result == Transfer::Moved) {
            sent += static_cast<DWORD>(moved);
            pollEvents = 0;
            if (sent == nNumberOfBytesToWrite)
                break;
            continue;
        }
        if (result == Transfer::Failed) {
            if (sent > 0)
                break;
            return isHangUpErrno(err) ? failHangUp(err) : failWithErrno(err);
        }
        if (pollEvents & (POLLHUP | POLLERR)) {
            if (sent > 0)
                break;
            return failHangUp(EIO);
        }
        const int events = waitForEvents(port->fd, POLLOUT, deadline);
        if (events == -1) {
            if (sent > 0)
                break;
            return failWithErrno(errno);
        }
        if (events == 0)
            break;
        if (events & POLLNVAL)
            return fail(ERROR_INVALID_HANDLE, EBADF);
        pollEvents = events;
    }
    *lpNumberOfBytesWritten = sent;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile)
{
    CommPort *port = portFromHandle(hFile);
    if (!port)
        return FALSE;

    // tcdrain alone could wait for ever on a line held up by flow control, so
    // the output queue is watched first, for as long as it keeps shrinking.
    // A UART may take a whole FIFO at once and then show no progress for
    // many character times; at the slowest rates that is seconds.
    auto stallLimit = std::chrono::milliseconds(1000);
    termios tio{};
    if (tcgetattrRetry(port->fd, &tio) == 0) {
        if (const DWORD rate = rateForSpeed(::cfgetospeed(&tio)); rate > 0)
            stallLimit += std::chrono::milliseconds(64 * 11 * 1000 / rate);
    }
    auto lastProgress = Clock::now();
    int lastQueued = -1;
    for (;;) {
        int queued = 0;
        if (ioctlRetry(port->fd, TIOCOUTQ, &queued) == -1) {
            if (isMissingFeature(errno))
                return TRUE; // not a tty: nothing is queued in a driver
            return isHangUpErrno(errno) ? failHangUp(errno) : failWithErrno(errno);
        }
        if (queued <= 0)
            break;
        const auto now = Clock::now();
        if (lastQueued < 0 || queued < lastQueued)
            lastProgress = now;
        else if (now - lastProgress > stallLimit)
            return fail(ERROR_SEM_TIMEOUT, ETIMEDOUT);
        lastQueued = queued;
        const timespec pause{0, 2 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }

    int rc;
    do {
        rc = ::tcdrain(port->fd);
    } while (rc == -1 && errno == EINTR);
    if (rc == -1 && !isMissingFeature(errno))
        return isHangUpErrno(errno) ? failHangUp(errno) : failWithErrno(errno);
    return TRUE;
}
