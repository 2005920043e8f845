#include "linepeer.h"
#include "serialfixtures.h"
#include "winserialdevice.h"
#include "winserialdeviceasync.h"
#include "workerthread.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

using Cv::WinSerialDevice;
using Cv::WinSerialDeviceAsync;
using Cv::WorkerThread;

namespace {

WorkerThread *workerOf(const QObject &device)
{
    return device.findChild<WorkerThread *>();
}

qint64 processCpuNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Times of a worker signal, taken in the worker thread as it emits, so that
// the event loop's delivery delays do not blur the cadence.
class EmissionLog
{
public:
    template<typename Signal> EmissionLog(WorkerThread *worker, Signal signal)
    {
        clock.start();
        connection = QObject::connect(
            worker, signal, worker,
            [this] {
                QMutexLocker locker(&mutex);
                stamps.append(clock.nsecsElapsed());
            },
            Qt::DirectConnection);
    }
    ~EmissionLog() { QObject::disconnect(connection); }
    EmissionLog(const EmissionLog &) = delete;
    EmissionLog &operator=(const EmissionLog &) = delete;

    qsizetype count() const
    {
        QMutexLocker locker(&mutex);
        return stamps.size();
    }
    QList<qint64> times() const
    {
        QMutexLocker locker(&mutex);
        return stamps;
    }

private:
    mutable QMutex mutex;
    QList<qint64> stamps;
    QElapsedTimer clock;
    QMetaObject::Connection connection;
};

// A port whose writes follow a script: each entry is what one write reports
// (a count taken from the front of the data, or -1), optionally with a stop
// request as if close() came during that write. Reads find a silent line.
class ScriptedPort : public WinSerialDevice
{
public:
    struct Step
    {
        qint64 result;
        bool stopDuringWrite = false;
    };

    explicit ScriptedPort(std::vector<Step> script)
        : WinSerialDevice(QStringLiteral("scripted")), script(std::move(script))
    {
        QIODevice::open(QIODevice::ReadWrite);
    }

    WorkerThread *worker = nullptr;

    QByteArray line() const
    {
        QMutexLocker locker(&mutex);
        return sent;
    }
    QList<qint64> reported() const
    {
        QMutexLocker locker(&mutex);
        return counts;
    }
    void recordReported(qint64 n)
    {
        QMutexLocker locker(&mutex);
        counts.append(n);
    }

protected:
    qint64 readData(char *, qint64) override
    {
        QThread::msleep(5);
        return 0;
    }
    qint64 writeData(const char *data, qint64 maxSize) override
    {
        const Step step = next < script.size() ? script[next++] : Step{maxSize};
        if (step.stopDuringWrite)
            worker->requestStop();
        if (step.result < 0)
            return -1;
        const qint64 n = std::min(step.result, maxSize);
        QMutexLocker locker(&mutex);
        sent.append(data, n);
        return n;
    }

private:
    std::vector<Step> script;
    std::size_t next = 0;
    mutable QMutex mutex;
    QByteArray sent;
    QList<qint64> counts;
};

} // namespace

class TestWinSerialDeviceAsync : public QObject
{
    Q_OBJECT

private slots:
    void identityAndIdleState();
    void commandsGoOutInOrder();
    void silentLineCadence();
    void receivedBytesArriveWholeAndInOrder_data();
    void receivedBytesArriveWholeAndInOrder();
    void partialReadsAndLines();
    void waitOperationsFollowTheWorker();
    void secondOpenIsRefused();
    void openFailurePassesReasonOn_data();
    void openFailurePassesReasonOn();
    void closeRightAfterOpenEndsWorker();
    void closeDuringReadIsPrompt();
    void destructionStopsWorker_data();
    void destructionStopsWorker();
    void hangUpEndsTheReadChannel();
    void partialSendIsNotRepeated_data();
    void partialSendIsNotRepeated();
};

void TestWinSerialDeviceAsync::identityAndIdleState()
{
    QObject parent;
    DebugLog log;
    StderrCapture capture;
    auto *device = new WinSerialDeviceAsync(&parent, QStringLiteral("ttyS0"));
    QCOMPARE(device->parent(), &parent);
    QCOMPARE(device->metaObject()->className(), "Cv::WinSerialDeviceAsync");
    QVERIFY(device->isSequential());
    QVERIFY(!device->isOpen());

    WorkerThread *worker = workerOf(*device);
    QVERIFY(worker);
    QCOMPARE(worker->metaObject()->className(), "Cv::WorkerThread");
    QVERIFY(!worker->isRunning());

    // Closing an idle device touches no port: not even the trace line.
    device->close();
    QVERIFY(log.lines().isEmpty());
    QVERIFY(capture.finish().isEmpty());
    QCOMPARE(device->bytesAvailable(), 0);
    QVERIFY(device->atEnd());
}

void TestWinSerialDeviceAsync::commandsGoOutInOrder()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite));
    QCOMPARE(device.openMode(), QIODevice::ReadWrite | QIODevice::Unbuffered);
    QSignalSpy written(&device, &QIODevice::bytesWritten);

    QCOMPARE(device.write("SYST:REM\r\n"), 0);
    QCOMPARE(device.write("MEM:DATA? ALL\r\n"), 0);
    QCOMPARE(device.bytesToWrite(), 0);

    const QByteArray expected("SYST:REM\r\nMEM:DATA? ALL\r\n");
    QCOMPARE(expected.size(), 25);
    QCOMPARE(peer.read(25, 10000), expected);

    const auto total = [&written] {
        qint64 sum = 0;
        for (const QList<QVariant> &args : written)
            sum += args.at(0).toLongLong();
        return sum;
    };
    QTRY_COMPARE_WITH_TIMEOUT(total(), 25, 10000);
    // One write per cycle at most for each command, so one or two signals.
    QVERIFY2(written.count() >= 1 && written.count() <= 2,
             qPrintable(QString::number(written.count())));
    // Nothing is sent again.
    QVERIFY(peer.drain(300).isEmpty());
}

void TestWinSerialDeviceAsync::silentLineCadence()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QSignalSpy timeouts(&device, &WinSerialDeviceAsync::readTimeOut);
    QSignalSpy readyRead(&device, &QIODevice::readyRead);
    QSignalSpy finished(&device, &QIODevice::readChannelFinished);
    EmissionLog log(workerOf(device), &WorkerThread::readTimeOut);

    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(timeouts.wait(10000));
    const qint64 cpuStart = processCpuNs();
    QElapsedTimer wall;
    wall.start();
    QTRY_VERIFY_WITH_TIMEOUT(log.count() >= 12, 20000);
    const double cpuShare = double(processCpuNs() - cpuStart) / double(wall.nsecsElapsed());
    device.close();

    const QList<qint64> times = log.times();
    QList<qint64> intervals;
    for (qsizetype i = 1; i < times.size(); ++i)
        intervals << times.at(i) - times.at(i - 1);
    std::sort(intervals.begin(), intervals.end());
    // Each silent cycle holds one full read time-out (less what a coarse
    // system timer may round off).
    QVERIFY2(intervals.first() >= 45'000'000, qPrintable(QString::number(intervals.first())));
    QVERIFY(timeouts.count() >= 2);
    QCOMPARE(readyRead.count(), 0);
    // A quiet line is not a lost device.
    QCOMPARE(finished.count(), 0);
    QVERIFY2(cpuShare < 0.25, qPrintable(QString::number(cpuShare)));
    qInfo("silent line: readTimeOut every %.1f ms (min %.1f, max %.1f), CPU %.2f%% of wall time",
          double(intervals.at(intervals.size() / 2)) / 1e6, double(intervals.first()) / 1e6,
          double(intervals.last()) / 1e6, cpuShare * 100);
}

void TestWinSerialDeviceAsync::receivedBytesArriveWholeAndInOrder_data()
{
    QTest::addColumn<QByteArray>("data");
    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QTest::newRow("every byte value") << all;

    // A period that is no divisor of the 1024-byte reads shows any chunk
    // dropped, doubled or swapped.
    QByteArray block;
    block.reserve(600 * 1024);
    for (int i = 0; block.size() < 600 * 1024; ++i)
        block.append(char((i * 7 + i / 251) & 0xff));
    QTest::newRow("large block") << block;
}

void TestWinSerialDeviceAsync::receivedBytesArriveWholeAndInOrder()
{
    QFETCH(QByteArray, data);
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QByteArray received;
    connect(&device, &QIODevice::readyRead, this,
            [&device, &received] { received += device.readAll(); });
    QVERIFY(device.open(QIODevice::ReadWrite));

    QElapsedTimer clock;
    clock.start();
    bool sent = false;
    std::thread sender([&] { sent = peer.write(data, 120000); });
    QTRY_VERIFY_WITH_TIMEOUT(received.size() >= data.size(), 120000);
    const qint64 elapsedMs = std::max<qint64>(clock.elapsed(), 1);
    sender.join();
    QVERIFY(sent);
    QCOMPARE(received.size(), data.size());
    QCOMPARE(received, data);
    QCOMPARE(device.bytesAvailable(), 0);
    QVERIFY(device.atEnd());
    if (data.size() > 4096)
        qInfo("%lld bytes in %lld ms: %.2f MB/s", qint64(data.size()), elapsedMs,
              double(data.size()) / 1e6 / (double(elapsedMs) / 1000.0));
}

void TestWinSerialDeviceAsync::partialReadsAndLines()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite));

    QVERIFY(peer.write("0123456789"));
    QTRY_COMPARE_WITH_TIMEOUT(device.bytesAvailable(), 10, 10000);
    QVERIFY(!device.canReadLine());
    QCOMPARE(device.read(3), QByteArray("012"));
    QCOMPARE(device.bytesAvailable(), 7);
    QVERIFY(!device.atEnd());
    QCOMPARE(device.read(7), QByteArray("3456789"));
    QCOMPARE(device.bytesAvailable(), 0);
    QVERIFY(device.atEnd());
    char none;
    QCOMPARE(device.read(&none, 1), 0);

    QVERIFY(peer.write("ab\ncd"));
    QTRY_COMPARE_WITH_TIMEOUT(device.bytesAvailable(), 5, 10000);
    QVERIFY(device.canReadLine());
    QCOMPARE(device.readLine(), QByteArray("ab\n"));
    QVERIFY(!device.canReadLine());
    QCOMPARE(device.readAll(), QByteArray("cd"));

    // What a run leaves unread is gone when the next run starts.
    QVERIFY(peer.write("left over"));
    QTRY_COMPARE_WITH_TIMEOUT(device.bytesAvailable(), 9, 10000);
    device.close();
    // Timed in the worker: a signal of the old run may still be queued.
    EmissionLog log(workerOf(device), &WorkerThread::readTimeOut);
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(QTest::qWaitFor([&log] { return log.count() > 0; }, 10000));
    QCOMPARE(device.bytesAvailable(), 0);
}

void TestWinSerialDeviceAsync::waitOperationsFollowTheWorker()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.waitForReadyRead(0));
    QVERIFY(device.waitForBytesWritten(0));

    QSignalSpy timeouts(&device, &WinSerialDeviceAsync::readTimeOut);
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(timeouts.wait(10000));
    QVERIFY(!device.waitForReadyRead(0));
    QVERIFY(!device.waitForReadyRead(120));
    QVERIFY(!device.waitForBytesWritten(0));

    device.close();
    QVERIFY(device.waitForReadyRead(0));
    QVERIFY(device.waitForBytesWritten(0));
}

void TestWinSerialDeviceAsync::secondOpenIsRefused()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QVERIFY(device.open(QIODevice::ReadWrite));
    DebugLog log;
    QVERIFY(!device.open(QIODevice::ReadOnly));
    // Refused before the port was touched; the first run goes on as it was.
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(device.openMode(), QIODevice::ReadWrite | QIODevice::Unbuffered);
    QVERIFY(workerOf(device)->isRunning());

    QSignalSpy timeouts(&device, &WinSerialDeviceAsync::readTimeOut);
    QVERIFY(timeouts.wait(10000));
    QVERIFY(peer.write("still here"));
    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT(received += device.readAll(), QByteArray("still here"), 10000);
}

void TestWinSerialDeviceAsync::openFailurePassesReasonOn_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<uint>("code");
    QTest::addColumn<int>("systemError");
    QTest::newRow("missing port") << false << uint(ERROR_FILE_NOT_FOUND)
                                  << LinePeer::missingPortSystemError();
    QTest::newRow("held by another opener")
        << true << uint(ERROR_ACCESS_DENIED) << LinePeer::heldPortSystemError();
}

void TestWinSerialDeviceAsync::openFailurePassesReasonOn()
{
    QFETCH(bool, held);
    QFETCH(uint, code);
    QFETCH(int, systemError);

    LinePeer peer;
    QVERIFY(peer.isValid());
    const QString path = held ? peer.portName() : LinePeer::missingPortName();
    WinSerialDevice holder(peer.portName());
    if (held)
        QVERIFY(holder.open(QIODevice::ReadWrite, 50, 50));

    WinSerialDeviceAsync device(nullptr, path);
    device.setSettings(Cv::downloadLineSettings());
    QCOMPARE(device.lastErrorCode(), DWORD(ERROR_SUCCESS));
    QCOMPARE(device.lastSystemError(), 0);

    const QString message =
        QStringLiteral("Win32SerialDevice::open failed with error: %1").arg(code);
    {
        DebugLog log;
        StderrCapture capture;
        if (held && LinePeer::underWine())
            QEXPECT_FAIL("", "Wine opens a COM port any number of times: it has no exclusive open",
                         Abort);
        QVERIFY(!device.open(QIODevice::ReadWrite));
        QCOMPARE(capture.finish(), (message + '\n').toLocal8Bit());
        QCOMPARE(log.lines(),
                 QStringList({"Win32SerialDevice::open()", "Win32SerialDevice::close()"}));
    }
    QCOMPARE(device.lastErrorCode(), DWORD(code));
    QCOMPARE(device.lastSystemError(), systemError);
    QCOMPARE(device.errorString(), message);
    QVERIFY(!device.isOpen());
    QVERIFY(!workerOf(device)->isRunning());

    // Nothing to undo: close() afterwards does nothing at all.
    {
        DebugLog log;
        device.close();
        QVERIFY(log.lines().isEmpty());
    }

    if (held) {
        QCOMPARE(holder.write("ok"), 2);
        QCOMPARE(peer.read(2), QByteArray("ok"));
        holder.close();
        QVERIFY(device.open(QIODevice::ReadWrite));
        QVERIFY(device.isOpen());
    }
}

void TestWinSerialDeviceAsync::closeRightAfterOpenEndsWorker()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    // A close before the worker's first cycle must still end it; one that was
    // lost would leave close() waiting for good.
    qint64 slowest = 0;
    for (int i = 0; i < 25; ++i) {
        QVERIFY(device.open(QIODevice::ReadWrite));
        QElapsedTimer clock;
        clock.start();
        device.close();
        slowest = std::max(slowest, clock.elapsed());
        QVERIFY(!device.isOpen());
        QVERIFY(!workerOf(device)->isRunning());
    }
    QVERIFY2(slowest < 3000, qPrintable(QString::number(slowest)));
}

void TestWinSerialDeviceAsync::closeDuringReadIsPrompt()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    QSignalSpy timeouts(&device, &WinSerialDeviceAsync::readTimeOut);
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(timeouts.wait(10000));
    // Well inside the next silent read.
    QTest::qSleep(20);

    DebugLog log;
    QElapsedTimer clock;
    clock.start();
    device.close();
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
    QVERIFY(!device.isOpen());
    QVERIFY(!workerOf(device)->isRunning());
    QCOMPARE(log.lines(), QStringList("Win32SerialDevice::close()"));

    WinSerialDevice probe(peer.portName());
    QVERIFY(probe.open(QIODevice::ReadWrite, 50, 50));
    probe.close();

    // And it runs again after a close.
    timeouts.clear();
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(timeouts.wait(10000));
}

void TestWinSerialDeviceAsync::destructionStopsWorker_data()
{
    QTest::addColumn<bool>("throughParent");
    QTest::newRow("deleted") << false;
    QTest::newRow("parent deleted") << true;
}

void TestWinSerialDeviceAsync::destructionStopsWorker()
{
    QFETCH(bool, throughParent);
    LinePeer peer;
    QVERIFY(peer.isValid());
    auto parent = std::make_unique<QObject>();
    auto *device = new WinSerialDeviceAsync(parent.get(), peer.portName());
    device->setSettings(Cv::downloadLineSettings());
    QPointer<WorkerThread> worker = workerOf(*device);
    QSignalSpy timeouts(device, &WinSerialDeviceAsync::readTimeOut);
    QVERIFY(device->open(QIODevice::ReadWrite));
    QVERIFY(timeouts.wait(10000));
    QVERIFY(peer.write("pending"));

    if (throughParent)
        parent.reset();
    else
        delete device;
    QVERIFY(worker.isNull());

    // The worker has ended, so all it sent is queued by now; delivering it
    // to the dead device would crash here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    WinSerialDevice probe(peer.portName());
    QVERIFY(probe.open(QIODevice::ReadWrite, 50, 50));
}

void TestWinSerialDeviceAsync::hangUpEndsTheReadChannel()
{
    LinePeer peer;
    QVERIFY(peer.isValid());
    WinSerialDeviceAsync device(nullptr, peer.portName());
    device.setSettings(Cv::downloadLineSettings());
    EmissionLog log(workerOf(device), &WorkerThread::readTimeOut);
    QSignalSpy readyRead(&device, &QIODevice::readyRead);
    QSignalSpy finished(&device, &QIODevice::readChannelFinished);
    QVERIFY(device.open(QIODevice::ReadWrite));
    QVERIFY(peer.write("last"));
    QVERIFY(readyRead.wait(10000));

    StderrCapture capture;
    QElapsedTimer sincePullOut;
    sincePullOut.start();
    if (!peer.hangUp())
        QSKIP("This peer cannot hang up the line");
    QVERIFY(finished.wait(10000));
    const qint64 noticedMs = sincePullOut.elapsed();
    QVERIFY(!workerOf(device)->isRunning() || workerOf(device)->wait(2000));
    const qsizetype timeoutsAfter = log.count();

    // The bytes before the hang-up are there to be read, and the port stays
    // the caller's to close.
    QCOMPARE(device.readAll(), QByteArray("last"));
    QVERIFY(device.isOpen());
    // Refused, and no worker started for it: nothing more will cycle.
    QVERIFY(!device.open(QIODevice::ReadWrite));
    QVERIFY(!workerOf(device)->isRunning());
    QCOMPARE(log.count(), timeoutsAfter);
    QCOMPARE(finished.count(), 1);
    device.close();
    QVERIFY(!device.isOpen());
    const QList<QByteArray> lines = capture.finish().split('\n');

    // Said once, not once per cycle.
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith("Win32SerialDevice::readData failed with error: 1167"),
             lines.at(0).constData());
    // Far inside the half second a download may take to notice.
    QVERIFY2(noticedMs < 2000, qPrintable(QString::number(noticedMs)));
    qInfo("hang-up noticed after %lld ms", noticedMs);
}

void TestWinSerialDeviceAsync::partialSendIsNotRepeated_data()
{
    QTest::addColumn<bool>("stopDuringWrite");
    QTest::newRow("write fails after a part") << false;
    QTest::newRow("stop after a part") << true;
}

void TestWinSerialDeviceAsync::partialSendIsNotRepeated()
{
    QFETCH(bool, stopDuringWrite);
    std::vector<ScriptedPort::Step> script;
    if (stopDuringWrite)
        script = {{4, true}};
    else
        script = {{4}, {-1}};
    ScriptedPort port(std::move(script));
    WorkerThread worker(&port, nullptr);
    port.worker = &worker;
    connect(
        &worker, &WorkerThread::bytesWritten, &worker,
        [&port](qint64 n) { port.recordReported(n); }, Qt::DirectConnection);

    worker.queueTransmit("ABCDEFGHIJ", 10);
    worker.clearStop();
    worker.start();
    if (stopDuringWrite) {
        QVERIFY(worker.wait(10000));
        QCOMPARE(port.line(), QByteArray("ABCD"));
        worker.clearStop();
        worker.start();
    }
    QVERIFY(QTest::qWaitFor([&port] { return port.line().size() >= 10; }, 10000));
    worker.stopAndWait();

    QCOMPARE(port.line(), QByteArray("ABCDEFGHIJ"));
    QCOMPARE(port.reported(), QList<qint64>({4, 6}));
}

QTEST_GUILESS_MAIN(TestWinSerialDeviceAsync)
#include "tst_winserialdeviceasync.moc"
