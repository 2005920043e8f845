#include "serialfixtures.h"
#include "winserialdevice.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>
#include <memory>
#include <sys/ioctl.h>
#include <thread>

using Cv::WinSerialDevice;

namespace {

// Records what open hands to the two hooks, and can change it.
class HookedDevice : public WinSerialDevice
{
public:
    using WinSerialDevice::WinSerialDevice;

    QStringList calls;
    COMMTIMEOUTS seenTimeouts{};
    DWORD seenBaudRate = 0;
    quint32 readTimeoutOverride = 0;
    DWORD baudRateOverride = 0;

protected:
    void adjustTimeouts(COMMTIMEOUTS *timeouts) override
    {
        calls << QStringLiteral("adjustTimeouts");
        seenTimeouts = *timeouts;
        if (readTimeoutOverride)
            timeouts->ReadTotalTimeoutConstant = readTimeoutOverride;
    }
    void adjustCommState() override
    {
        calls << QStringLiteral("adjustCommState");
        seenBaudRate = dcb->BaudRate;
        if (baudRateOverride)
            dcb->BaudRate = baudRateOverride;
    }
};

qint64 timedRead(QIODevice &device, char *buffer, qint64 size, qint64 *elapsedMs)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 n = device.read(buffer, size);
    *elapsedMs = clock.elapsed();
    return n;
}

} // namespace

class TestWinSerialDevice : public QObject
{
    Q_OBJECT

private slots:
    void devicePath_data();
    void devicePath();
    void plainQIODevice();
    void openAppliesDownloadSettings();
    void emptyRecordKeepsLineSettings();
    void hooksRunInOrder();
    void reopenAppliesSettingsAgain();
    void secondOpenIsRefused();
    void missingPortReportsOnStderr();
    void nameWithNullIsRefused();
    void notASerialDeviceIsClosedAgain();
    void invalidSettingIsRefused();
    void silentReadTimesOut();
    void waitingBytesReturnAtOnce();
    void readWakesAtFirstByte();
    void writeSendsEveryByteValue();
    void hangUpFailsReadAndWrite();
    void closeOnClosedDeviceOnlyTraces();
    void destructionClosesPort();
};

void TestWinSerialDevice::devicePath_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("expected");
    const QString ns = QStringLiteral("\\\\.\\");
    QTest::newRow("bare name") << "COM3" << ns << ns + "COM3";
    QTest::newRow("two digits") << "COM12" << ns << ns + "COM12";
    QTest::newRow("already a device path") << ns + "COM3" << ns << ns + "COM3";
    QTest::newRow("partial prefix") << "\\\\COM3" << ns << ns + "\\\\COM3";
    QTest::newRow("long name") << "VeryLongPortNameBeyondFifteen" << ns
                               << ns + "VeryLongPortNameBeyondFifteen";
    QTest::newRow("no prefix, bare") << "ttyUSB0" << QString() << "ttyUSB0";
    QTest::newRow("no prefix, absolute")
        << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0" << QString()
        << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
}

void TestWinSerialDevice::devicePath()
{
    QFETCH(QString, portName);
    QFETCH(QString, prefix);
    QFETCH(QString, expected);
    const QString once = WinSerialDevice::devicePath(portName, prefix);
    QCOMPARE(once, expected);
    QCOMPARE(WinSerialDevice::devicePath(once, prefix), expected);
}

void TestWinSerialDevice::plainQIODevice()
{
    WinSerialDevice device(QStringLiteral("ttyS0"));
    QCOMPARE(device.metaObject(), &QIODevice::staticMetaObject);
    QVERIFY(device.isSequential());
    QVERIFY(!device.isOpen());
}

void TestWinSerialDevice::openAppliesDownloadSettings()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DebugLog log;
    {
        WinSerialDevice device(pty.slavePath());
        device.setSettings(downloadSettings());
        QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
        QVERIFY(device.isOpen());
        QCOMPARE(device.openMode(), QIODevice::ReadWrite);
        QCOMPARE(device.readTimeout(), 50u);

        const termios tio = pty.slaveTermios();
        QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK),
                 tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(tio.c_cc[VMIN], cc_t(0));
        QCOMPARE(tio.c_cc[VTIME], cc_t(0));
        QCOMPARE(tio.c_cc[VSTART], cc_t(0x11));
        QCOMPARE(tio.c_cc[VSTOP], cc_t(0x13));
    }
    QCOMPARE(log.lines(), QStringList({"Win32SerialDevice::open()", "Win32SerialDevice::close()"}));
}

void TestWinSerialDevice::emptyRecordKeepsLineSettings()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    termios tio = pty.slaveTermios();
    cfsetspeed(&tio, B19200);
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | PARODD | CSTOPB;
    QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &tio), 0);
    // A pseudo-terminal keeps only some of these (it forces CS8 and no parity).
    const termios before = pty.slaveTermios();
    QVERIFY(before.c_cflag & CSTOPB);

    WinSerialDevice device(pty.slavePath());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    const termios after = pty.slaveTermios();
    QCOMPARE(cfgetospeed(&after), speed_t(B19200));
    const tcflag_t line = CSIZE | PARENB | CSTOPB | CRTSCTS;
    QCOMPARE(after.c_cflag & line, before.c_cflag & line);
}

void TestWinSerialDevice::hooksRunInOrder()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    HookedDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    device.baudRateOverride = 4800;
    QVERIFY(device.open(QIODevice::ReadWrite, 70, 30));

    QCOMPARE(device.calls, QStringList({"adjustTimeouts", "adjustCommState"}));
    QCOMPARE(device.seenTimeouts.ReadIntervalTimeout, MAXDWORD);
    QCOMPARE(device.seenTimeouts.ReadTotalTimeoutMultiplier, MAXDWORD);
    QCOMPARE(device.seenTimeouts.ReadTotalTimeoutConstant, 70u);
    QCOMPARE(device.seenTimeouts.WriteTotalTimeoutMultiplier, 1u);
    QCOMPARE(device.seenTimeouts.WriteTotalTimeoutConstant, 30u);
    // The record was applied before the hook saw the DCB, and the hook's
    // change is what reached the line.
    QCOMPARE(device.seenBaudRate, 9600u);
    const termios tio = pty.slaveTermios();
    QCOMPARE(cfgetospeed(&tio), speed_t(B4800));
}

void TestWinSerialDevice::reopenAppliesSettingsAgain()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WinSerialDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    device.close();
    QVERIFY(!device.isOpen());

    termios tio = pty.slaveTermios();
    cfsetspeed(&tio, B2400);
    QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &tio), 0);

    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    tio = pty.slaveTermios();
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
}

void TestWinSerialDevice::secondOpenIsRefused()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WinSerialDevice first(pty.slavePath());
    QVERIFY(first.open(QIODevice::ReadWrite, 50, 50));

    WinSerialDevice second(pty.slavePath());
    DebugLog log;
    StderrCapture capture;
    QVERIFY(!second.open(QIODevice::ReadWrite, 50, 50));
    const QByteArray diagnostics = capture.finish();

    QVERIFY(!second.isOpen());
    QCOMPARE(second.lastErrorCode(), ERROR_ACCESS_DENIED);
    QVERIFY(second.lastSystemError() != 0);
    QCOMPARE(second.errorString(), QStringLiteral("Win32SerialDevice::open failed with error: 5"));
    QCOMPARE(diagnostics, QByteArray("Win32SerialDevice::open failed with error: 5\n"));
    QCOMPARE(log.lines(), QStringList({"Win32SerialDevice::open()", "Win32SerialDevice::close()"}));

    // The first opener is undisturbed.
    QVERIFY(first.isOpen());
    QCOMPARE(first.write("ok"), 2);
    QCOMPARE(pty.read(2), QByteArray("ok"));
}

void TestWinSerialDevice::missingPortReportsOnStderr()
{
    WinSerialDevice device(QStringLiteral("/dev/cv-no-such-port-%1").arg(::getpid()));
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    const QByteArray diagnostics = capture.finish();

    QCOMPARE(device.lastErrorCode(), ERROR_FILE_NOT_FOUND);
    QCOMPARE(device.lastSystemError(), ENOENT);
    QCOMPARE(diagnostics, QByteArray("Win32SerialDevice::open failed with error: 2\n"));
    QCOMPARE(device.errorString(), QStringLiteral("Win32SerialDevice::open failed with error: 2"));
    QVERIFY(!device.isOpen());
}

void TestWinSerialDevice::nameWithNullIsRefused()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    // Cut at the null, the name would open the pty.
    WinSerialDevice device(pty.slavePath() + QChar(0) + QStringLiteral("x"));
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    capture.finish();
    QCOMPARE(device.lastErrorCode(), ERROR_INVALID_PARAMETER);
    QCOMPARE(device.lastSystemError(), 0);

    WinSerialDevice other(pty.slavePath());
    QVERIFY(other.open(QIODevice::ReadWrite, 50, 50));
}

void TestWinSerialDevice::notASerialDeviceIsClosedAgain()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    WinSerialDevice device(file.fileName());
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    const DWORD code = device.lastErrorCode();
    QVERIFY(code != ERROR_SUCCESS);
    // Had the failed open kept its handle, its lock would refuse this one with 5.
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    QCOMPARE(device.lastErrorCode(), code);
    const QByteArray diagnostics = capture.finish();
    const QByteArray line =
        "Win32SerialDevice::open failed with error: " + QByteArray::number(code) + '\n';
    QCOMPARE(diagnostics, line + line);
}

void TestWinSerialDevice::invalidSettingIsRefused()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WinSerialDevice device(pty.slavePath());
    auto *settings = downloadSettings();
    settings->setByteSize(3);
    device.setSettings(settings);
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    QCOMPARE(capture.finish(), QByteArray("Win32SerialDevice::open failed with error: 87\n"));
    QCOMPARE(device.lastErrorCode(), ERROR_INVALID_PARAMETER);

    device.setSettings(downloadSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
}

void TestWinSerialDevice::silentReadTimesOut()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WinSerialDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    QSignalSpy readyRead(&device, &QIODevice::readyRead);

    QList<qint64> durations;
    for (int i = 0; i < 9; ++i) {
        char buffer[1024];
        qint64 elapsed = 0;
        QCOMPARE(timedRead(device, buffer, sizeof buffer, &elapsed), 0);
        QVERIFY2(elapsed >= 50, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
        durations << elapsed;
    }
    QCOMPARE(readyRead.count(), 0);
    std::sort(durations.begin(), durations.end());
    qInfo("silent read: min %lld ms, median %lld ms, max %lld ms", durations.first(),
          durations.at(durations.size() / 2), durations.last());
}

void TestWinSerialDevice::waitingBytesReturnAtOnce()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    // A long time-out makes "at once" tell apart from "after the time-out",
    // however loaded the machine.
    HookedDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    device.readTimeoutOverride = 3000;
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    QSignalSpy readyRead(&device, &QIODevice::readyRead);

    QVERIFY(pty.write("0123456789"));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            int queued = 0;
            return ioctl(pty.slave(), FIONREAD, &queued) == 0 && queued == 10;
        }(),
        5000);

    char buffer[4];
    qint64 elapsed = 0;
    QCOMPARE(timedRead(device, buffer, sizeof buffer, &elapsed), 4);
    QCOMPARE(QByteArray(buffer, 4), QByteArray("0123"));
    QVERIFY2(elapsed < 1500, qPrintable(QString::number(elapsed)));
    QCOMPARE(device.read(6), QByteArray("456789"));
    QCOMPARE(readyRead.count(), 1);
}

void TestWinSerialDevice::readWakesAtFirstByte()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    HookedDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    device.readTimeoutOverride = 5000;
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));

    std::thread sender([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty.write("x");
    });
    char buffer[64];
    qint64 elapsed = 0;
    const qint64 n = timedRead(device, buffer, sizeof buffer, &elapsed);
    sender.join();
    QCOMPARE(n, 1);
    QCOMPARE(buffer[0], 'x');
    QVERIFY2(elapsed >= 150 && elapsed < 2500, qPrintable(QString::number(elapsed)));
}

void TestWinSerialDevice::writeSendsEveryByteValue()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WinSerialDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));

    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QCOMPARE(device.write(all), 256);
    QCOMPARE(pty.read(256), all);
}

void TestWinSerialDevice::hangUpFailsReadAndWrite()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WinSerialDevice device(pty.slavePath());
    device.setSettings(downloadSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    pty.closeMaster();

    DebugLog log;
    StderrCapture capture;
    char buffer[16];
    QCOMPARE(device.read(buffer, sizeof buffer), -1);
    const DWORD readCode = device.lastErrorCode();
    QVERIFY(readCode != ERROR_SUCCESS);
    QCOMPARE(device.errorString(),
             QStringLiteral("Win32SerialDevice::readData failed with error: %1").arg(readCode));
    QVERIFY(WinSerialDevice::isDisconnection(readCode));
    // The same failure again is not written again.
    QCOMPARE(device.read(buffer, sizeof buffer), -1);
    QCOMPARE(device.read(buffer, sizeof buffer), -1);
    QCOMPARE(device.lastErrorCode(), readCode);
    QCOMPARE(device.write("abc"), -1);
    const DWORD writeCode = device.lastErrorCode();
    const QString writeMessage =
        QStringLiteral("Win32SerialDevice::writeData failed with error: %1").arg(writeCode);
    QCOMPARE(device.errorString(), writeMessage);
    const QByteArray diagnostics = capture.finish();

    QCOMPARE(diagnostics,
             (QStringLiteral("Win32SerialDevice::readData failed with error: %1\n").arg(readCode) +
              writeMessage + '\n')
                 .toLocal8Bit());
    QCOMPARE(log.lines(), QStringList(writeMessage));
}

void TestWinSerialDevice::closeOnClosedDeviceOnlyTraces()
{
    WinSerialDevice device(QStringLiteral("ttyS0"));
    DebugLog log;
    StderrCapture capture;
    device.close();
    device.close();
    QVERIFY(capture.finish().isEmpty());
    QCOMPARE(log.lines(),
             QStringList({"Win32SerialDevice::close()", "Win32SerialDevice::close()"}));
    QVERIFY(!device.errorString().startsWith(QLatin1String("Win32SerialDevice")));
}

void TestWinSerialDevice::destructionClosesPort()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto device = std::make_unique<WinSerialDevice>(pty.slavePath());
    QVERIFY(device->open(QIODevice::ReadWrite, 50, 50));
    device.reset();

    WinSerialDevice again(pty.slavePath());
    QVERIFY(again.open(QIODevice::ReadWrite, 50, 50));
}

QTEST_GUILESS_MAIN(TestWinSerialDevice)
#include "tst_winserialdevice.moc"
