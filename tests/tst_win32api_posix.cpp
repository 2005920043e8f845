#include "downloadline.h"
#include "ptypair.h"
#include "serialportsettings.h"
#include "win32api.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

HANDLE openPort(const QString &name)
{
    return CreateFileW(reinterpret_cast<LPCWSTR>(name.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Closes the handle at the end of a test, also when a check fails.
class PortGuard
{
public:
    explicit PortGuard(HANDLE h) : handle(h) {}
    ~PortGuard()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    PortGuard(const PortGuard &) = delete;
    PortGuard &operator=(const PortGuard &) = delete;
    HANDLE handle;
};

// The line as the download runs it, every field from the program's own
// settings.
DCB downloadDcb()
{
    const std::unique_ptr<Cv::SerialPortSettings> settings(Cv::downloadLineSettings());
    return settings->image();
}

bool setTimeouts(HANDLE h, DWORD interval, DWORD multiplier, DWORD constant,
                 DWORD writeMultiplier = 0, DWORD writeConstant = 0)
{
    COMMTIMEOUTS t{interval, multiplier, constant, writeMultiplier, writeConstant};
    return SetCommTimeouts(h, &t) == TRUE;
}

bool sameTermios(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           ::cfgetospeed(&a) == ::cfgetospeed(&b) && ::cfgetispeed(&a) == ::cfgetispeed(&b);
}

qint64 msSince(const QElapsedTimer &timer)
{
    return timer.elapsed();
}

// Some kernels force pseudo-terminals to eight bits without parity; a port
// that cannot take a setting must refuse it rather than pretend.
bool ptyKeeps(tcflag_t cflag)
{
    PtyPair probe;
    termios tio{};
    if (!probe.isValid() || ::tcgetattr(probe.slave(), &tio) != 0)
        return false;
    const tcflag_t bits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    tio.c_cflag = (tio.c_cflag & ~bits) | cflag;
    if (::tcsetattr(probe.slave(), TCSANOW, &tio) != 0 || ::tcgetattr(probe.slave(), &tio) != 0)
        return false;
    return (tio.c_cflag & bits) == cflag;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

class TestWin32ApiPosix : public QObject
{
    Q_OBJECT

private slots:
    void setCommStateMakesRawLine();
    void lineSettingsRoundTrip_data();
    void lineSettingsRoundTrip();
    void refusedDcbChangesNothing_data();
    void refusedDcbChangesNothing();
    void notASerialDevice();
    void openIsExclusive();
    void openFailures_data();
    void openFailures();
    void namesAndPaths();
    void readModes_data();
    void readModes();
    void silentReadTakesTheTimeout();
    void readBlocksUntilCount();
    void allByteValuesBothWays();
    void writeTimeoutReturnsPartialCount();
    void flushSendsAndReturns();
    void purgeDropsWaitingInput();
    void hangUpIsDeviceNotConnected();
    void timeoutsStayWithHandle();
    void lastErrorIsPerThread();
    void badHandles();
};

void TestWin32ApiPosix::setCommStateMakesRawLine()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    // Start from a line that differs in every respect the download cares about.
    termios cooked = pty.slaveTermios();
    cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    cooked.c_iflag |= IXON | IXOFF | ICRNL | INLCR | IGNCR | BRKINT | PARMRK;
    cooked.c_lflag |= ICANON | ECHO | ECHONL;
    cooked.c_oflag |= OPOST;
    ::cfsetspeed(&cooked, B19200);
    QCOMPARE(::tcsetattr(pty.slave(), TCSANOW, &cooked), 0);

    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));

    const termios line = pty.slaveTermios();
    QCOMPARE(::cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(::cfgetispeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(line.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(line.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | BRKINT | PARMRK),
             tcflag_t(0));
    QCOMPARE(line.c_cc[VMIN], cc_t(0));
    QCOMPARE(line.c_cc[VTIME], cc_t(0));
    QCOMPARE(line.c_cc[VSTART], cc_t(0x11));
    QCOMPARE(line.c_cc[VSTOP], cc_t(0x13));
}

void TestWin32ApiPosix::lineSettingsRoundTrip_data()
{
    QTest::addColumn<DWORD>("baud");
    QTest::addColumn<int>("byteSize");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<bool>("ctsRts");
    QTest::addColumn<bool>("xonXoff");
    QTest::addColumn<uint>("cflag");
    QTest::addColumn<uint>("iflag");

    const uint none = 0;
    QTest::newRow("9600 8N1") << DWORD(9600) << 8 << int(NOPARITY) << int(ONESTOPBIT) << false
                              << false << uint(CS8) << none;
    QTest::newRow("115200 7E1") << DWORD(115200) << 7 << int(EVENPARITY) << int(ONESTOPBIT) << false
                                << false << uint(CS7 | PARENB) << none;
    QTest::newRow("300 8O2") << DWORD(300) << 8 << int(ODDPARITY) << int(TWOSTOPBITS) << false
                             << false << uint(CS8 | PARENB | PARODD | CSTOPB) << none;
    QTest::newRow("mark") << DWORD(4800) << 7 << int(MARKPARITY) << int(ONESTOPBIT) << false
                          << false << uint(CS7 | PARENB | PARODD | CMSPAR) << none;
    QTest::newRow("space") << DWORD(4800) << 6 << int(SPACEPARITY) << int(ONESTOPBIT) << false
                           << false << uint(CS6 | PARENB | CMSPAR) << none;
    QTest::newRow("5 bits, 1.5 stop") << DWORD(110) << 5 << int(NOPARITY) << int(ONE5STOPBITS)
                                      << false << false << uint(CS5 | CSTOPB) << none;
    QTest::newRow("hardware flow") << DWORD(57600) << 8 << int(NOPARITY) << int(ONESTOPBIT) << true
                                   << false << uint(CS8 | CRTSCTS) << none;
    QTest::newRow("xon/xoff") << DWORD(1200) << 8 << int(NOPARITY) << int(ONESTOPBIT) << false
                              << true << uint(CS8) << uint(IXON | IXOFF);
    QTest::newRow("4000000") << DWORD(4000000) << 8 << int(NOPARITY) << int(ONESTOPBIT) << false
                             << false << uint(CS8) << none;
}

void TestWin32ApiPosix::lineSettingsRoundTrip()
{
    QFETCH(DWORD, baud);
    QFETCH(int, byteSize);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(bool, ctsRts);
    QFETCH(bool, xonXoff);
    QFETCH(uint, cflag);
    QFETCH(uint, iflag);

    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);

    const bool lineCanTakeIt = ptyKeeps(cflag);
    const termios before = pty.slaveTermios();
    DCB dcb = downloadDcb();
    dcb.BaudRate = baud;
    dcb.ByteSize = BYTE(byteSize);
    dcb.Parity = BYTE(parity);
    dcb.StopBits = BYTE(stopBits);
    dcb.fOutxCtsFlow = ctsRts;
    dcb.fRtsControl = ctsRts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    if (!lineCanTakeIt) {
        QVERIFY(!SetCommState(port.handle, &dcb));
        QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
        QVERIFY(sameTermios(pty.slaveTermios(), before));
        return;
    }
    QVERIFY(SetCommState(port.handle, &dcb));

    const termios line = pty.slaveTermios();
    const tcflag_t lineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    QCOMPARE(uint(line.c_cflag & lineBits), cflag);
    QCOMPARE(uint(line.c_iflag & (IXON | IXOFF)), iflag);

    DCB back{};
    QVERIFY(GetCommState(port.handle, &back));
    QCOMPARE(back.DCBlength, DWORD(sizeof(DCB)));
    QCOMPARE(back.BaudRate, baud);
    QCOMPARE(int(back.ByteSize), byteSize);
    QCOMPARE(int(back.Parity), parity);
    QCOMPARE(int(back.StopBits), stopBits);
    QCOMPARE(bool(back.fOutxCtsFlow), ctsRts);
    QCOMPARE(back.fRtsControl == RTS_CONTROL_HANDSHAKE, ctsRts);
    QCOMPARE(bool(back.fOutX), xonXoff);
    QCOMPARE(bool(back.fInX), xonXoff);
    QCOMPARE(int(back.fBinary), 1);
    QCOMPARE(back.XonChar, char(0x11));
    QCOMPARE(back.XoffChar, char(0x13));

    // What was read back must be accepted again unchanged.
    QVERIFY(SetCommState(port.handle, &back));
    QVERIFY(sameTermios(pty.slaveTermios(), line));
}

void TestWin32ApiPosix::refusedDcbChangesNothing_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<uint>("value");

    enum { Baud, Size, Parity, Stop, XonSameAsXoff, DsrFlow, DtrHandshake, RtsToggle };
    QTest::newRow("byte size 3") << int(Size) << 3u;
    QTest::newRow("byte size 9") << int(Size) << 9u;
    QTest::newRow("parity 9") << int(Parity) << 9u;
    QTest::newRow("baud 0") << int(Baud) << 0u;
    QTest::newRow("baud 12345") << int(Baud) << 12345u;
    QTest::newRow("stop bits 3") << int(Stop) << 3u;
    QTest::newRow("1.5 stop with 8 bits") << int(Stop) << uint(ONE5STOPBITS);
    QTest::newRow("xon equals xoff") << int(XonSameAsXoff) << 0x11u;
    QTest::newRow("dsr flow") << int(DsrFlow) << 1u;
    QTest::newRow("dtr handshake") << int(DtrHandshake) << uint(DTR_CONTROL_HANDSHAKE);
    QTest::newRow("rts toggle") << int(RtsToggle) << uint(RTS_CONTROL_TOGGLE);
}

void TestWin32ApiPosix::refusedDcbChangesNothing()
{
    QFETCH(int, field);
    QFETCH(uint, value);

    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    const termios before = pty.slaveTermios();

    // Every other field would change the line if it were applied.
    DCB dcb = downloadDcb();
    dcb.BaudRate = 115200;
    switch (field) {
    case 0:
        dcb.BaudRate = value;
        break;
    case 1:
        dcb.ByteSize = BYTE(value);
        break;
    case 2:
        dcb.Parity = BYTE(value);
        break;
    case 3:
        dcb.StopBits = BYTE(value);
        break;
    case 4:
        dcb.fOutX = 1;
        dcb.XonChar = dcb.XoffChar = char(value);
        break;
    case 5:
        dcb.fOutxDsrFlow = value;
        break;
    case 6:
        dcb.fDtrControl = value;
        break;
    case 7:
        dcb.fRtsControl = value;
        break;
    }
    SetLastError(0);
    QVERIFY(!SetCommState(port.handle, &dcb));
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
    QVERIFY(sameTermios(pty.slaveTermios(), before));
}

void TestWin32ApiPosix::notASerialDevice()
{
    PortGuard port(openPort(QStringLiteral("null")));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb{};
    QVERIFY(!GetCommState(port.handle, &dcb));
    QCOMPARE(GetLastError(), ERROR_INVALID_FUNCTION);
    QCOMPARE(cvLastSystemErrorNumber(), ENOTTY);
}

void TestWin32ApiPosix::openIsExclusive()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    HANDLE first = openPort(pty.slavePath());
    QVERIFY(first != INVALID_HANDLE_VALUE);

    QCOMPARE(openPort(pty.slavePath()), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), ERROR_ACCESS_DENIED);
    QCOMPARE(cvLastSystemErrorNumber(), EWOULDBLOCK);

    // The lock belongs to the device, not to the name it was opened by.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString longName = dir.filePath(QStringLiteral("a-port-name-far-longer-than-fifteen"));
    QVERIFY(QFile::link(pty.slavePath(), longName));
    QCOMPARE(openPort(longName), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), ERROR_ACCESS_DENIED);

    QVERIFY(CloseHandle(first));
    PortGuard again(openPort(longName));
    QVERIFY(again.handle != INVALID_HANDLE_VALUE);
}

void TestWin32ApiPosix::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<DWORD>("error");
    QTest::addColumn<int>("systemError");

    QTest::newRow("missing absolute")
        << QStringLiteral("/dev/cv-no-such-port") << ERROR_FILE_NOT_FOUND << ENOENT;
    QTest::newRow("missing relative")
        << QStringLiteral("cv-no-such-port") << ERROR_FILE_NOT_FOUND << ENOENT;
    QTest::newRow("through a file")
        << QStringLiteral("/dev/null/port") << ERROR_PATH_NOT_FOUND << ENOTDIR;
    QTest::newRow("empty") << QString() << ERROR_PATH_NOT_FOUND << ENOENT;
    QTest::newRow("too long") << QStringLiteral("/") + QString(PATH_MAX, QLatin1Char('a'))
                              << ERROR_FILENAME_EXCED_RANGE << ENAMETOOLONG;
    QTest::newRow("too long with prefix")
        << QString(PATH_MAX - 5, QLatin1Char('a')) << ERROR_FILENAME_EXCED_RANGE << ENAMETOOLONG;
    QTest::newRow("unpaired surrogate")
        << QString(QChar(0xd800)) + QStringLiteral("tty") << ERROR_INVALID_PARAMETER << EILSEQ;
}

void TestWin32ApiPosix::openFailures()
{
    QFETCH(QString, name);
    QFETCH(DWORD, error);
    QFETCH(int, systemError);

    SetLastError(0);
    QCOMPARE(openPort(name), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), error);
    QCOMPARE(cvLastSystemErrorNumber(), systemError);
}

void TestWin32ApiPosix::namesAndPaths()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(pty.slavePath().startsWith(QLatin1String("/dev/")));

    // "pts/N" only names the port if "/dev/" is put in front of it.
    const QString relative = pty.slavePath().mid(5);
    QVERIFY(!QFile::exists(relative));
    PortGuard port(openPort(relative));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    QCOMPARE(openPort(pty.slavePath()), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), ERROR_ACCESS_DENIED);

    // A name outside the basic plane survives the conversion.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString odd = dir.filePath(QStringLiteral("port-\u00e9-\U0001F50C"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), odd));
    PortGuard other(openPort(odd));
    QVERIFY(other.handle != INVALID_HANDLE_VALUE);
}

void TestWin32ApiPosix::readModes_data()
{
    QTest::addColumn<DWORD>("interval");
    QTest::addColumn<DWORD>("multiplier");
    QTest::addColumn<DWORD>("constant");
    QTest::addColumn<int>("waiting");
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");

    // Upper bounds are loose on purpose: these run under sanitizers on busy
    // machines. Lower bounds are exact.
    QTest::newRow("at once, silent")
        << MAXDWORD << DWORD(0) << DWORD(0) << 0 << 10 << 0 << 0 << 1000;
    QTest::newRow("at once, waiting")
        << MAXDWORD << DWORD(0) << DWORD(0) << 4 << 10 << 4 << 0 << 1000;
    QTest::newRow("first byte, waiting")
        << MAXDWORD << MAXDWORD << DWORD(5000) << 4 << 10 << 4 << 0 << 2500;
    QTest::newRow("first byte, more waiting than asked")
        << MAXDWORD << MAXDWORD << DWORD(5000) << 10 << 4 << 4 << 0 << 2500;
    QTest::newRow("first byte, silent")
        << MAXDWORD << MAXDWORD << DWORD(50) << 0 << 10 << 0 << 50 << 2000;
    QTest::newRow("total, silent")
        << DWORD(0) << DWORD(10) << DWORD(100) << 0 << 5 << 0 << 150 << 3000;
    QTest::newRow("total, partial")
        << DWORD(0) << DWORD(0) << DWORD(100) << 3 << 10 << 3 << 100 << 3000;
    QTest::newRow("interval after partial")
        << DWORD(30) << DWORD(0) << DWORD(20000) << 3 << 10 << 3 << 30 << 5000;
    QTest::newRow("count reached") << DWORD(0) << DWORD(0) << DWORD(0) << 6 << 6 << 6 << 0 << 2500;
    QTest::newRow("count reached before total")
        << DWORD(0) << DWORD(0) << DWORD(20000) << 10 << 4 << 4 << 0 << 2500;
}

void TestWin32ApiPosix::readModes()
{
    QFETCH(DWORD, interval);
    QFETCH(DWORD, multiplier);
    QFETCH(DWORD, constant);
    QFETCH(int, waiting);
    QFETCH(int, request);
    QFETCH(int, expected);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);

    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, interval, multiplier, constant));

    QByteArray sent;
    for (int i = 0; i < waiting; ++i)
        sent.append(char('a' + i));
    if (waiting > 0) {
        QVERIFY(pty.write(sent));
        QVERIFY(pty.portHasInput());
    }

    QByteArray buffer(request, '\0');
    DWORD got = 12345;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(ReadFile(port.handle, buffer.data(), DWORD(request), &got, nullptr));
    const qint64 elapsed = msSince(timer);
    QCOMPARE(int(got), expected);
    QCOMPARE(buffer.left(expected), sent.left(expected));
    QVERIFY2(elapsed >= minMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed <= maxMs, qPrintable(QString::number(elapsed)));

    // What was not asked for stays for the next read.
    if (waiting > expected) {
        QVERIFY(setTimeouts(port.handle, MAXDWORD, 0, 0));
        QVERIFY(ReadFile(port.handle, buffer.data(), DWORD(request), &got, nullptr));
        QCOMPARE(buffer.left(int(got)), sent.mid(expected, int(got)));
        QVERIFY(got > 0);
    }
}

void TestWin32ApiPosix::silentReadTakesTheTimeout()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, MAXDWORD, MAXDWORD, 50, 1, 50));

    std::vector<double> durations;
    char buffer[1024];
    for (int i = 0; i < 20; ++i) {
        DWORD got = 1;
        const auto start = std::chrono::steady_clock::now();
        QVERIFY(ReadFile(port.handle, buffer, sizeof buffer, &got, nullptr));
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        QCOMPARE(got, DWORD(0));
        QVERIFY2(took.count() >= 50.0, qPrintable(QString::number(took.count())));
        QVERIFY2(took.count() < 1000.0, qPrintable(QString::number(took.count())));
        durations.push_back(took.count());
    }
    qInfo("silent read: median %.2f ms, max %.2f ms over %zu reads", median(durations),
          *std::max_element(durations.begin(), durations.end()), durations.size());
}

void TestWin32ApiPosix::readBlocksUntilCount()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, 0, 0, 0));

    // Started before the writer, so the last piece cannot come before 45 ms
    // on this clock however late the read itself begins.
    QElapsedTimer timer;
    timer.start();
    std::thread writer([&] {
        for (const char *piece : {"ab", "cd", "ef"}) {
            std::this_thread::sleep_for(15ms);
            pty.write(QByteArray(piece));
        }
    });
    char buffer[6];
    DWORD got = 0;
    const BOOL ok = ReadFile(port.handle, buffer, sizeof buffer, &got, nullptr);
    const qint64 elapsed = msSince(timer);
    writer.join();
    QVERIFY(ok);
    QCOMPARE(QByteArray(buffer, int(got)), QByteArrayLiteral("abcdef"));
    QVERIFY(elapsed >= 45);
}

void TestWin32ApiPosix::allByteValuesBothWays()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, MAXDWORD, MAXDWORD, 50, 1, 50));

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));

    DWORD written = 0;
    QVERIFY(WriteFile(port.handle, all.constData(), DWORD(all.size()), &written, nullptr));
    QCOMPARE(written, DWORD(all.size()));
    QCOMPARE(pty.read(all.size()), all);

    QVERIFY(pty.write(all));
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    while (received.size() < all.size() && timer.elapsed() < 5000) {
        char buffer[1024];
        DWORD got = 0;
        QVERIFY(ReadFile(port.handle, buffer, sizeof buffer, &got, nullptr));
        received.append(buffer, int(got));
    }
    QCOMPARE(received, all);
}

void TestWin32ApiPosix::writeTimeoutReturnsPartialCount()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, MAXDWORD, MAXDWORD, 50, 0, 100));

    // Nobody reads at the other end, so the pseudo-terminal fills up.
    const QByteArray block(4 * 1024 * 1024, 'z');
    DWORD written = 0;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(WriteFile(port.handle, block.constData(), DWORD(block.size()), &written, nullptr));
    const qint64 elapsed = msSince(timer);
    QVERIFY(written > 0);
    QVERIFY(written < DWORD(block.size()));
    QVERIFY2(elapsed >= 100, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));

    // A full line with no time-out left still returns at once with nothing.
    QVERIFY(setTimeouts(port.handle, MAXDWORD, MAXDWORD, 50, 0, 1));
    QVERIFY(WriteFile(port.handle, block.constData(), 1, &written, nullptr));
    QCOMPARE(written, DWORD(0));
}

void TestWin32ApiPosix::flushSendsAndReturns()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, MAXDWORD, MAXDWORD, 50, 1, 50));

    const QByteArray command = QByteArrayLiteral("MEM:DATA? ALL\r\n");
    DWORD written = 0;
    QVERIFY(WriteFile(port.handle, command.constData(), DWORD(command.size()), &written, nullptr));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(FlushFileBuffers(port.handle));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    // Flushing sends; it does not throw the bytes away.
    QCOMPARE(pty.read(command.size()), command);
}

void TestWin32ApiPosix::purgeDropsWaitingInput()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    QVERIFY(setTimeouts(port.handle, MAXDWORD, 0, 0));

    QVERIFY(pty.write(QByteArrayLiteral("stale")));
    QVERIFY(pty.portHasInput());
    QVERIFY(PurgeComm(port.handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));

    char buffer[16];
    DWORD got = 1;
    QVERIFY(ReadFile(port.handle, buffer, sizeof buffer, &got, nullptr));
    QCOMPARE(got, DWORD(0));

    // Input after the purge comes through as usual.
    QVERIFY(pty.write(QByteArrayLiteral("fresh")));
    QVERIFY(pty.portHasInput());
    QVERIFY(ReadFile(port.handle, buffer, sizeof buffer, &got, nullptr));
    QCOMPARE(QByteArray(buffer, int(got)), QByteArrayLiteral("fresh"));

    QVERIFY(!PurgeComm(port.handle, 0x10));
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The error the layer maps a hang-up to, in every read mode and for writes;
// what the device makes of it is the device's own test.
void TestWin32ApiPosix::hangUpIsDeviceNotConnected()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);
    DCB dcb = downloadDcb();
    QVERIFY(SetCommState(port.handle, &dcb));
    // A read time-out far beyond the bound below, so that waiting it out
    // cannot pass for failing at once.
    QVERIFY(setTimeouts(port.handle, MAXDWORD, MAXDWORD, 5000, 1, 50));

    pty.closeMaster();
    // What the layer builds on: the port side sees a hang-up, not silence.
    pollfd pfd{pty.slave(), POLLIN, 0};
    QCOMPARE(::poll(&pfd, 1, 5000), 1);
    QVERIFY(pfd.revents & POLLHUP);

    for (int i = 0; i < 3; ++i) {
        char buffer[64];
        DWORD got = 7;
        QElapsedTimer timer;
        timer.start();
        SetLastError(0);
        QVERIFY(!ReadFile(port.handle, buffer, sizeof buffer, &got, nullptr));
        QCOMPARE(got, DWORD(0));
        QCOMPARE(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
        QVERIFY(cvLastSystemErrorNumber() != 0);
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    }

    // The other read modes see it too.
    QVERIFY(setTimeouts(port.handle, MAXDWORD, 0, 0));
    char one;
    DWORD got = 0;
    QVERIFY(!ReadFile(port.handle, &one, 1, &got, nullptr));
    QCOMPARE(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);

    DWORD written = 9;
    SetLastError(0);
    QVERIFY(!WriteFile(port.handle, "SYST:REM\r\n", 10, &written, nullptr));
    QCOMPARE(written, DWORD(0));
    QCOMPARE(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

void TestWin32ApiPosix::timeoutsStayWithHandle()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortGuard port(openPort(pty.slavePath()));
    QVERIFY(port.handle != INVALID_HANDLE_VALUE);

    COMMTIMEOUTS set{MAXDWORD, MAXDWORD, 50, 1, 50};
    QVERIFY(SetCommTimeouts(port.handle, &set));
    COMMTIMEOUTS got{};
    QVERIFY(GetCommTimeouts(port.handle, &got));
    QCOMPARE(std::memcmp(&got, &set, sizeof set), 0);

    COMMTIMEOUTS invalid{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
    QVERIFY(!SetCommTimeouts(port.handle, &invalid));
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
    QVERIFY(GetCommTimeouts(port.handle, &got));
    QCOMPARE(got.ReadTotalTimeoutConstant, DWORD(50));

    QVERIFY(SetCommMask(port.handle, 0));
    QVERIFY(SetupComm(port.handle, 4096, 4096));
}

void TestWin32ApiPosix::lastErrorIsPerThread()
{
    SetLastError(0);
    std::thread other([] { openPort(QStringLiteral("/dev/cv-no-such-port")); });
    other.join();
    QCOMPARE(GetLastError(), ERROR_SUCCESS);
    QCOMPARE(cvLastSystemErrorNumber(), 0);
}

void TestWin32ApiPosix::badHandles()
{
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    DWORD count = 0;
    char byte = 0;
    for (HANDLE h : {INVALID_HANDLE_VALUE, HANDLE(nullptr)}) {
        SetLastError(0);
        QVERIFY(!GetCommState(h, &dcb));
        QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
        QVERIFY(!SetCommTimeouts(h, &timeouts));
        QVERIFY(!ReadFile(h, &byte, 1, &count, nullptr));
        QVERIFY(!WriteFile(h, &byte, 1, &count, nullptr));
        QVERIFY(!CloseHandle(h));
        QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

QTEST_GUILESS_MAIN(TestWin32ApiPosix)
#include "tst_win32api_posix.moc"
