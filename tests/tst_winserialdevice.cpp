#include "linepeer.h"
#include "serialfixtures.h"
#include "winserialdevice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
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

    // What the open port reports, read back from the driver rather than from
    // the DCB the device sent.
    bool lineState(DCB *line) const
    {
        *line = DCB{};
        line->DCBlength = sizeof(DCB);
        return GetCommState(handle, line);
    }

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
    LinePeer peer;
    QVERIFY(peer.isValid());
    DebugLog log;
    {
        HookedDevice device(peer.portName());
        device.setSettings(Cv::downloadLineSettings());
        QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
        QVERIFY(device.isOpen());
        QCOMPARE(device.openMode(), QIODevice::ReadWrite);
        QCOMPARE(device.readTimeout(), 50u);

        // What a DCB becomes on a terminal (raw mode, VMIN and VTIME) is the
        // POSIX layer's and tested with it. A pseudo-terminal has no modem
        // lines, here or under Wine, so DTR and RTS are not read back.
        DCB line;
        QVERIFY(device.lineState(&line));
        QCOMPARE(line.BaudRate, DWORD(9600));
        QCOMPARE(line.ByteSize, BYTE(8));
        QCOMPARE(line.Parity, BYTE(NOPARITY));
        QCOMPARE(line.StopBits, BYTE(ONESTOPBIT));
        QCOMPARE(line.fOutxCtsFlow, DWORD(0));
        QCOMPARE(line.fOutX, DWORD(0));
        QCOMPARE(line.fInX, DWORD(0));
        QCOMPARE(line.XonChar, char(0x11));
        QCOMPARE(line.XoffChar, char(0x13));
    }
    QCOMPARE(log.lines(), QStringList({"Win32SerialDevice::open()", "Win32SerialDevice::close()"}));
}

void TestWinSerialDevice::emptyRecordKeepsLineSettings()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    // Someone else left the line at 19200 with two stop bits (a
    // pseudo-terminal keeps no other data size or parity than 8N).
    DCB before;
    {
        HookedDevice other(peer.portName());
        auto *settings = new Cv::SerialPortSettings;
        settings->setBaudRate(19200);
        settings->setStopBits(TWOSTOPBITS);
        other.setSettings(settings);
        QVERIFY(other.open(QIODevice::ReadWrite, 50, 50));
        QVERIFY(other.lineState(&before));
    }
    QCOMPARE(before.BaudRate, DWORD(19200));
    QCOMPARE(before.StopBits, BYTE(TWOSTOPBITS));

    HookedDevice device(peer.portName());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    DCB after;
    QVERIFY(device.lineState(&after));
    QCOMPARE(after.BaudRate, before.BaudRate);
    QCOMPARE(after.ByteSize, before.ByteSize);
    QCOMPARE(after.Parity, before.Parity);
    QCOMPARE(after.StopBits, before.StopBits);
    QCOMPARE(after.fOutxCtsFlow, before.fOutxCtsFlow);
}

void TestWinSerialDevice::hooksRunInOrder()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    HookedDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
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
    DCB line;
    QVERIFY(device.lineState(&line));
    QCOMPARE(line.BaudRate, DWORD(4800));
}

void TestWinSerialDevice::reopenAppliesSettingsAgain()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    HookedDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    device.close();
    QVERIFY(!device.isOpen());

    {
        HookedDevice other(peer.portName());
        other.baudRateOverride = 2400;
        QVERIFY(other.open(QIODevice::ReadWrite, 50, 50));
        DCB line;
        QVERIFY(other.lineState(&line));
        QCOMPARE(line.BaudRate, DWORD(2400));
    }

    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    DCB line;
    QVERIFY(device.lineState(&line));
    QCOMPARE(line.BaudRate, DWORD(9600));
}

void TestWinSerialDevice::secondOpenIsRefused()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDevice first(peer.portName());
    QVERIFY(first.open(QIODevice::ReadWrite, 50, 50));

    WinSerialDevice second(peer.portName());
    DebugLog log;
    StderrCapture capture;
    if (LinePeer::underWine())
        QEXPECT_FAIL("", "Wine opens a COM port any number of times: it has no exclusive open",
                     Abort);
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
    QCOMPARE(peer.read(2), QByteArray("ok"));
}

void TestWinSerialDevice::missingPortReportsOnStderr()
{
    WinSerialDevice device(LinePeer::missingPortName());
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    const QByteArray diagnostics = capture.finish();

    QCOMPARE(device.lastErrorCode(), ERROR_FILE_NOT_FOUND);
    QCOMPARE(device.lastSystemError(), LinePeer::missingPortSystemError());
    QCOMPARE(diagnostics, QByteArray("Win32SerialDevice::open failed with error: 2\n"));
    QCOMPARE(device.errorString(), QStringLiteral("Win32SerialDevice::open failed with error: 2"));
    QVERIFY(!device.isOpen());
}

void TestWinSerialDevice::nameWithNullIsRefused()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    // Cut at the null, the name would open the port.
    WinSerialDevice device(peer.portName() + QChar(0) + QStringLiteral("x"));
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    capture.finish();
    QCOMPARE(device.lastErrorCode(), ERROR_INVALID_PARAMETER);
    QCOMPARE(device.lastSystemError(), 0);

    WinSerialDevice other(peer.portName());
    QVERIFY(other.open(QIODevice::ReadWrite, 50, 50));
}

void TestWinSerialDevice::notASerialDeviceIsClosedAgain()
{
    // A file nobody holds: Windows would refuse to share a held one.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("not-a-port")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    WinSerialDevice device(QDir::toNativeSeparators(file.fileName()));
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    const DWORD code = device.lastErrorCode();
    QVERIFY(code != ERROR_SUCCESS);
    // Had the failed open kept its handle, its lock (its share mode on Windows)
    // would refuse this one with another code.
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    QCOMPARE(device.lastErrorCode(), code);
    const QByteArray diagnostics = capture.finish();
    const QByteArray line =
        "Win32SerialDevice::open failed with error: " + QByteArray::number(code) + '\n';
    QCOMPARE(diagnostics, line + line);
}

void TestWinSerialDevice::invalidSettingIsRefused()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDevice device(peer.portName());
    auto *settings = Cv::downloadLineSettings();
    settings->setByteSize(3);
    device.setSettings(settings);
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    QCOMPARE(capture.finish(), "Win32SerialDevice::open failed with error: " +
                                   QByteArray::number(uint(device.lastErrorCode())) + '\n');
    // Wine's serial driver answers a data size it does not know with
    // ERROR_NOT_SUPPORTED.
    if (LinePeer::underWine())
        QEXPECT_FAIL("", "Wine refuses a data size of 3 with error 50, Windows with 87", Continue);
    QCOMPARE(device.lastErrorCode(), ERROR_INVALID_PARAMETER);

    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
}

void TestWinSerialDevice::silentReadTimesOut()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    QSignalSpy readyRead(&device, &QIODevice::readyRead);

    QList<qint64> durations;
    for (int i = 0; i < 9; ++i) {
        char buffer[1024];
        qint64 elapsed = 0;
        QCOMPARE(timedRead(device, buffer, sizeof buffer, &elapsed), 0);
        // The whole time-out, less what a coarse system timer may round off;
        // and it returns.
        QVERIFY2(elapsed >= 45, qPrintable(QString::number(elapsed)));
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
    // Wine returns from a read under {MAXDWORD, MAXDWORD, n} only when n ms
    // are up, bytes waiting or not.
    if (LinePeer::underWine())
        QSKIP("Wine waits out the whole read time-out even with bytes waiting");
    LinePeer peer;
    QVERIFY(peer.isValid());
    if (peer.portInputCount() < 0)
        QSKIP("This peer cannot see the bytes waiting at the port");
    // A long time-out makes "at once" tell apart from "after the time-out",
    // however loaded the machine.
    HookedDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    device.readTimeoutOverride = 3000;
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    QSignalSpy readyRead(&device, &QIODevice::readyRead);

    QVERIFY(peer.write("0123456789"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.portInputCount(), 10, 5000);

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
    LinePeer peer;
    QVERIFY(peer.isValid());
    HookedDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    device.readTimeoutOverride = 5000;
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));

    // The clock starts before the sender, so the byte cannot come before
    // 200 ms on it however late the read begins (less a coarse system
    // timer's tick or two, on Windows).
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        peer.write("x");
    });
    char buffer[64];
    const qint64 n = device.read(buffer, sizeof buffer);
    const qint64 elapsed = clock.elapsed();
    sender.join();
    QCOMPARE(n, 1);
    QCOMPARE(buffer[0], 'x');
    QVERIFY2(elapsed >= 150, qPrintable(QString::number(elapsed)));
    // Wine returns from a read under {MAXDWORD, MAXDWORD, n} only when n ms
    // are up, bytes or not.
    if (LinePeer::underWine())
        QEXPECT_FAIL("", "Wine waits out the whole read time-out, not only until the first byte",
                     Continue);
    QVERIFY2(elapsed < 2500, qPrintable(QString::number(elapsed)));
}

void TestWinSerialDevice::writeSendsEveryByteValue()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));

    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QCOMPARE(device.write(all), 256);
    QCOMPARE(peer.read(256), all);
}

void TestWinSerialDevice::hangUpFailsReadAndWrite()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDevice device(peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite, 50, 50));
    if (!peer.hangUp())
        QSKIP("This peer cannot hang up the line");

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
    LinePeer peer;
    QVERIFY(peer.isValid());
    auto device = std::make_unique<WinSerialDevice>(peer.portName());
    QVERIFY(device->open(QIODevice::ReadWrite, 50, 50));
    device.reset();

    WinSerialDevice again(peer.portName());
    QVERIFY(again.open(QIODevice::ReadWrite, 50, 50));
}

QTEST_GUILESS_MAIN(TestWinSerialDevice)
#include "tst_winserialdevice.moc"
