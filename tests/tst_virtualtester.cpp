// The virtual tester end to end, with a bare serial client as the program on
// its line, and the pieces it is made of (pacing, command check, options).

#include "commandcheck.h"
#include "pacedsender.h"
#include "testbed.h"
#include "testeroptions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(CommandCheck::Verdict)

namespace {

using Clock = PacedSender::Clock;
using Fields = QMap<QString, QString>;

QByteArray sample()
{
    QFile file(QDir(qEnvironmentVariable("CV_SOURCE_DIR"))
                   .filePath(QStringLiteral("tools/virtualtester/sample-records.csv")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One run of the tool, its reports gathered as they come.
class ToolRun
{
public:
    explicit ToolRun(const QStringList &toolArgs, const QStringList &clientArgs = {})
    {
        QStringList args = toolArgs;
        if (!clientArgs.isEmpty())
            args << QStringLiteral("--") << QStringLiteral(CV_TESTER_CLIENT) << clientArgs;
        m_process.start(QStringLiteral(CV_VIRTUAL_TESTER), args);
    }
    ~ToolRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    bool finish(int timeoutMs = 120000)
    {
        const bool done = m_process.waitForFinished(timeoutMs);
        collect();
        if (!done || m_process.exitStatus() != QProcess::NormalExit) {
            m_err += QStringLiteral("\n[the tester %1: %2]")
                         .arg(done ? QStringLiteral("crashed") : QStringLiteral("did not end"),
                              m_process.errorString());
            return false;
        }
        return true;
    }
    bool waitForReport(const QString &text, int timeoutMs = 60000, qsizetype times = 1)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_err.count(text) < times) {
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
            collect();
        }
        return true;
    }
    bool waitForOutput(const QString &text, int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_out.contains(text)) {
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
            collect();
        }
        return true;
    }

    int exitCode() const { return m_process.exitCode(); }
    qint64 pid() const { return m_process.processId(); }
    const QString &report() const { return m_err; }
    const QString &output() const { return m_out; }
    QString bedDir() const { return captured(QStringLiteral("test bed ready in (\\S+):")); }
    pid_t childPid() const
    {
        return pid_t(captured(QStringLiteral("\\(pid (\\d+)\\) in the test bed")).toInt());
    }
    // What the client said about its download `session`.
    Fields session(int session) const
    {
        Fields fields;
        const QString head = QStringLiteral("session=%1 ").arg(session);
        for (const QString &line : m_out.split(QLatin1Char('\n'))) {
            if (!line.startsWith(head))
                continue;
            for (const QString &pair : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                fields.insert(pair.section(QLatin1Char('='), 0, 0),
                              pair.section(QLatin1Char('='), 1));
        }
        return fields;
    }

private:
    void collect()
    {
        m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
    }
    QString captured(const QString &pattern) const
    {
        const auto match = QRegularExpression(pattern).match(m_err);
        return match.captured(match.lastCapturedIndex());
    }

    QProcess m_process;
    QString m_err;
    QString m_out;
};

// The program's end of the line, opened by its path (for the bed, straight
// through the bed's /dev: no preload library needed) or taken over as a
// pseudo-terminal master: raw, non-blocking.
class ProgramEnd
{
public:
    // Not `raw`: the terminal mode is left as the tester made it.
    explicit ProgramEnd(const QString &path, bool raw = true)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK))
    {
        termios tio;
        if (raw && m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    // A new pseudo-terminal pair: this end is the master, `slave` names the other.
    explicit ProgramEnd(QString *slave)
        : m_fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK))
    {
        char name[128] = {};
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0 &&
            ::ptsname_r(m_fd, name, sizeof name) == 0)
            *slave = QString::fromLocal8Bit(name);
    }
    ~ProgramEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ProgramEnd(const ProgramEnd &) = delete;
    ProgramEnd &operator=(const ProgramEnd &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray &bytes) const
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    void flushInput() const { ::tcflush(m_fd, TCIFLUSH); }
    // Reads until `count` bytes came, the line hangs up, or it stays quiet
    // for `quietMs` once something came (first wait 10 s).
    QByteArray read(qsizetype count, int quietMs, bool *hungUp = nullptr)
    {
        QByteArray data;
        if (hungUp)
            *hungUp = false;
        while (data.size() < count) {
            pollfd p = {m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, data.isEmpty() ? 10000 : quietMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            char buffer[1024];
            const ssize_t n =
                ::read(m_fd, buffer, size_t(qMin<qsizetype>(sizeof buffer, count - data.size())));
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
            data.append(buffer, n);
        }
        return data;
    }

    // Reads until what came ends with `end`, or the line hangs up, or the
    // time is up.
    QByteArray readThrough(const QByteArray &end, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        QByteArray data;
        while (!data.endsWith(end) && !deadline.hasExpired()) {
            bool hungUp = false;
            data += read(end.size(), int(std::max<qint64>(deadline.remainingTime(), 1)), &hungUp);
            if (hungUp)
                break;
        }
        return data;
    }

private:
    int m_fd = -1;
};

} // namespace

class tst_VirtualTester : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pacingSchedule();
    void senderCatchesUpWithoutDrift();
    void senderAfterStallKeepsLineSpeed();
    void commandCheck_data();
    void commandCheck();
    void options_data();
    void options();

    void unpacedDownload_data();
    void unpacedDownload();
    void commandMismatchFails_data();
    void commandMismatchFails();
    void pacedTransferTakesLineTime_data();
    void pacedTransferTakesLineTime();
    void pullOutMidTransfer_data();
    void pullOutMidTransfer();
    void repeatAnswersEachDownload_data();
    void repeatAnswersEachDownload();
    void signalEndsProgramAndCleansBed_data();
    void signalEndsProgramAndCleansBed();
    void bedWithoutCommandServesByHand();
    void settleAndPlugInOptions_data();
    void settleAndPlugInOptions();
    void pulledOutAdapterPluggedInAgain();
    void newRequestSupersedesTheLast();
    void lineDownload_data();
    void lineDownload();
    void lineWithoutCommandServesByHand_data();
    void lineWithoutCommandServesByHand();
    void lineHangUpCountsWhatWasNotRead();
    void lineThatCannotBeOpenedFails_data();
    void lineThatCannotBeOpenedFails();

private:
    QTemporaryDir m_dir;
    QByteArray m_sample;
};

void tst_VirtualTester::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sample = sample();
    QVERIFY2(m_sample.size() > 10000, "the shipped sample records are missing");
    QVERIFY(m_sample.endsWith("\r\n"));
}

void tst_VirtualTester::pacingSchedule()
{
    PacedSender::Pacing pacing;
    pacing.pauseEvery = 100;
    pacing.pause = 500ms;
    const PacedSender sender(m_sample, pacing);
    QCOMPARE(sender.timeFor(0), PacedSender::Duration(0));
    QCOMPARE(sender.timeFor(960), PacedSender::Duration(1s) + 9 * pacing.pause);
    // The pause comes between byte 100 and byte 101, not before byte 100.
    QCOMPARE(sender.timeFor(100), PacedSender::Duration(100 * 1000000000LL / 960));
    QCOMPARE(sender.timeFor(101), 500ms + PacedSender::Duration(101 * 1000000000LL / 960));
    for (const qint64 n : {1, 99, 100, 101, 961, 5000}) {
        QCOMPARE(sender.dueAt(sender.timeFor(n)), n);
        QCOMPARE(sender.dueAt(sender.timeFor(n) - 1ns), n - 1);
    }
    // Never more than there is to send.
    QCOMPARE(sender.dueAt(PacedSender::Duration(24h)), qint64(m_sample.size()));

    // Large counts must not overflow into the past.
    PacedSender::Pacing plain;
    const PacedSender big(QByteArray(), plain);
    QCOMPARE(big.timeFor(960LL * 1000000000LL),
             PacedSender::Duration(std::chrono::seconds(1000000000)));

    const PacedSender limited(m_sample, plain, 100);
    QCOMPARE(limited.total(), qint64(100));
    const PacedSender beyond(QByteArray("abc"), plain, 100);
    QCOMPARE(beyond.total(), qint64(3));
}

void tst_VirtualTester::senderCatchesUpWithoutDrift()
{
    int fds[2];
    QVERIFY(::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0);
    const auto closeBoth = qScopeGuard([&] {
        ::close(fds[0]);
        ::close(fds[1]);
    });
    PacedSender::Pacing pacing;
    const QByteArray data = m_sample.left(4000);
    PacedSender sender(data, pacing);
    const Clock::time_point t0 = Clock::now();
    sender.start(t0);
    QVERIFY(sender.writeDue(fds[1], t0));
    QCOMPARE(sender.sent(), qint64(0));
    QCOMPARE(sender.nextWake(), t0 + sender.timeFor(16));

    QVERIFY(sender.writeDue(fds[1], t0 + 500ms));
    QCOMPARE(sender.sent(), qint64(480));
    // The next slice is due at its own time from the start, not a slice
    // length after this (late) wake-up.
    QCOMPARE(sender.nextWake(), t0 + sender.timeFor(496));

    // A wake-up two seconds late sends what the line would have sent by now.
    QVERIFY(sender.writeDue(fds[1], t0 + 2500ms));
    QCOMPARE(sender.sent(), qint64(2400));
    QVERIFY(!sender.blocked());
    QVERIFY(sender.writeDue(fds[1], t0 + 10s));
    QVERIFY(sender.finished());
    QCOMPARE(sender.stalls(), 0);

    QByteArray got(8192, '\0');
    QCOMPARE(::read(fds[0], got.data(), size_t(got.size())), ssize_t(data.size()));
    got.truncate(data.size());
    QCOMPARE(got, data);
}

void tst_VirtualTester::senderAfterStallKeepsLineSpeed()
{
    int fds[2];
    QVERIFY(::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0);
    const auto closeBoth = qScopeGuard([&] {
        ::close(fds[0]);
        ::close(fds[1]);
    });
    const int capacity = ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
    QVERIFY(capacity >= 4096);
    const QByteArray data = m_sample.left(3 * capacity);

    PacedSender::Pacing pacing;
    PacedSender sender(data, pacing);
    const Clock::time_point t0 = Clock::now();
    sender.start(t0);
    QVERIFY(sender.writeDue(fds[1], t0 + 60s));
    QCOMPARE(sender.sent(), qint64(capacity));
    QVERIFY(sender.blocked());

    // The reader takes everything at once after a long stall: the line goes
    // on at its speed from there instead of bursting out the backlog.
    QByteArray got(capacity, '\0');
    QCOMPARE(::read(fds[0], got.data(), size_t(capacity)), ssize_t(capacity));
    QVERIFY(sender.writeDue(fds[1], t0 + 60s));
    QCOMPARE(sender.sent(), qint64(capacity));
    QCOMPARE(sender.stalls(), 1);
    QVERIFY(!sender.blocked());
    QCOMPARE(sender.nextWake(),
             t0 + 60s + (sender.timeFor(capacity + 16) - sender.timeFor(capacity)));
    QVERIFY(sender.writeDue(fds[1], t0 + 61s));
    QCOMPARE(sender.sent(), qint64(capacity + 960));

    // Unpaced, a full line just waits for room.
    PacedSender::Pacing fast;
    fast.bytesPerSecond = 0;
    PacedSender unpaced(data, fast);
    QCOMPARE(::read(fds[0], got.data(), size_t(capacity)), ssize_t(960));
    unpaced.start(t0);
    QVERIFY(unpaced.writeDue(fds[1], t0));
    QCOMPARE(unpaced.sent(), qint64(capacity));
    QVERIFY(unpaced.blocked());
}

void tst_VirtualTester::commandCheck_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<CommandCheck::Verdict>("verdict");
    QTest::addColumn<bool>("decided");
    QTest::addColumn<QString>("report");

    using V = CommandCheck::Verdict;
    QTest::newRow("both lines, byte by byte")
        << QList<QByteArray>{"S", "YST:REM\r", "\nMEM:DATA? ALL\r\n"} << V::Match << true
        << QStringLiteral("commands OK");
    QTest::newRow("first line only") << QList<QByteArray>{"SYST:REM\r\n"} << V::Missing << false
                                     << QStringLiteral("15 bytes missing");
    QTest::newRow("line feeds only")
        << QList<QByteArray>{"SYST:REM\n", "MEM:DATA? ALL\n"} << V::Wrong << true
        << QStringLiteral("wrong byte at offset 8: expected \"\\r\"");
    QTest::newRow("lower case") << QList<QByteArray>{"syst:rem\r\nmem:data? all\r\n"} << V::Wrong
                                << true << QStringLiteral("wrong byte at offset 0");
    QTest::newRow("binary noise") << QList<QByteArray>{QByteArray("SYST\x00\xff", 6)} << V::Wrong
                                  << true << QStringLiteral("got \"\\x00\" (0x00)");
    QTest::newRow("a third command")
        << QList<QByteArray>{"SYST:REM\r\nMEM:DATA? ALL\r\n*RST\r\n"} << V::Extra << true
        << QStringLiteral("6 extra bytes after the 25 expected");
    QTest::newRow("nothing") << QList<QByteArray>{} << V::Incomplete << false
                             << QStringLiteral("no command bytes");
}

void tst_VirtualTester::commandCheck()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(CommandCheck::Verdict, verdict);
    QFETCH(bool, decided);
    QFETCH(QString, report);

    CommandCheck check;
    for (const QByteArray &piece : pieces)
        check.append(piece);
    QCOMPARE(check.verdict(), verdict);
    QCOMPARE(check.decided(), decided);
    QVERIFY2(check.report().contains(report), qPrintable(check.report()));
    check.clear();
    QCOMPARE(check.verdict(), CommandCheck::Verdict::Incomplete);
}

void tst_VirtualTester::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QStringList>("command");

    const QStringList none;
    QTest::newRow("defaults") << QStringList() << true << 3000 << none;
    QTest::newRow("fractional delay")
        << QStringList{QStringLiteral("-d"), QStringLiteral("0.25")} << true << 250 << none;
    QTest::newRow("the program keeps its own options")
        << QStringList{QStringLiteral("-u"), QStringLiteral("--"), QStringLiteral("prog"),
                       QStringLiteral("-u"), QStringLiteral("--repeat")}
        << true << 3000
        << QStringList{QStringLiteral("prog"), QStringLiteral("-u"), QStringLiteral("--repeat")};
    QTest::newRow("negative delay")
        << QStringList{QStringLiteral("-d"), QStringLiteral("-1")} << false << 0 << none;
    QTest::newRow("delay not a number")
        << QStringList{QStringLiteral("--delay"), QStringLiteral("soon")} << false << 0 << none;
    QTest::newRow("zero rate") << QStringList{QStringLiteral("--rate"), QStringLiteral("0")}
                               << false << 0 << none;
    QTest::newRow("zero pause spacing")
        << QStringList{QStringLiteral("--pause-every"), QStringLiteral("0")} << false << 0 << none;
    QTest::newRow("negative pull-out")
        << QStringList{QStringLiteral("--pull-out-after"), QStringLiteral("-5")} << false << 0
        << none;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--baud")} << false << 0 << none;

    const QString line = QStringLiteral("--line");
    const QString pty = QStringLiteral("pty");
    const QString pullOut = QStringLiteral("--pull-out-after");
    QTest::newRow("hang-up of an own pty")
        << QStringList{line, pty, pullOut, QStringLiteral("10")} << true << 3000 << none;
    QTest::newRow("empty line") << QStringList{line, QString()} << false << 0 << none;
    QTest::newRow("program port without a line")
        << QStringList{QStringLiteral("--program-port"), QStringLiteral("/dev/pts/9")} << false << 0
        << none;
    QTest::newRow("program port of an own pty")
        << QStringList{line, pty, QStringLiteral("--program-port"), QStringLiteral("/dev/pts/9")}
        << false << 0 << none;
    QTest::newRow("pull-out on a path")
        << QStringList{line, QStringLiteral("/dev/ttyS0"), pullOut, QStringLiteral("10")} << false
        << 0 << none;
    QTest::newRow("plug-in on a pty") << QStringList{line,
                                                     pty,
                                                     pullOut,
                                                     QStringLiteral("10"),
                                                     QStringLiteral("--plug-in-after"),
                                                     QStringLiteral("1")}
                                      << false << 0 << none;
}

void tst_VirtualTester::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(int, delayMs);
    QFETCH(QStringList, command);

    TesterOptions parsed;
    QString error;
    QString help;
    const bool ok = TesterOptions::parse(QStringList{QStringLiteral("tool")} + args,
                                         QStringLiteral("default.csv"), &parsed, &error, &help);
    QCOMPARE(ok, valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        return;
    QCOMPARE(parsed.delayMs, delayMs);
    QCOMPARE(parsed.command, command);
    QCOMPARE(parsed.recordsFile, QStringLiteral("default.csv"));
}

void tst_VirtualTester::unpacedDownload_data()
{
    QTest::addColumn<int>("programExit");
    QTest::newRow("program succeeds") << 0;
    QTest::newRow("program fails after the download") << 7;
}

void tst_VirtualTester::unpacedDownload()
{
    QFETCH(int, programExit);
    const QString out = m_dir.filePath(QStringLiteral("unpaced.bin"));
    ToolRun run(
        {QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0")},
        {QStringLiteral("--exit-code"), QString::number(programExit), QStringLiteral("-"), out});
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.exitCode() == programExit, qPrintable(run.report()));
    QCOMPARE(readFile(out), m_sample);
    QVERIFY(run.report().contains(QStringLiteral("commands OK")));
    QVERIFY(run.report().contains(QStringLiteral("sent %1 bytes").arg(m_sample.size())));
    QVERIFY(!run.bedDir().isEmpty());
    QVERIFY2(!QFileInfo::exists(run.bedDir()), "the test bed was left behind");
}

void tst_VirtualTester::commandMismatchFails_data()
{
    QTest::addColumn<QString>("send");
    QTest::addColumn<QString>("report");

    QTest::newRow("wrong byte") << QStringLiteral("SYST:REM\\r\\nMEM:DATA? AL\\r\\n")
                                << QStringLiteral("wrong byte at offset 22: expected \"L\"");
    QTest::newRow("extra byte") << QStringLiteral("SYST:REM\\r\\nMEM:DATA? ALL\\r\\nX")
                                << QStringLiteral("1 extra bytes after the 25 expected: \"X\"");
    QTest::newRow("second command missing")
        << QStringLiteral("SYST:REM\\r\\n") << QStringLiteral("15 bytes missing");
    QTest::newRow("commands swapped") << QStringLiteral("MEM:DATA? ALL\\r\\nSYST:REM\\r\\n")
                                      << QStringLiteral("wrong byte at offset 0");
}

void tst_VirtualTester::commandMismatchFails()
{
    QFETCH(QString, send);
    QFETCH(QString, report);
    const QString out = m_dir.filePath(QStringLiteral("mismatch.bin"));
    ToolRun run({QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0")},
                {QStringLiteral("--send"), send, QStringLiteral("--first-timeout"),
                 QStringLiteral("2000"), QStringLiteral("/dev/ttyUSB0"), out});
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.report().contains(QStringLiteral("commands FAILED")), qPrintable(run.report()));
    QVERIFY2(run.report().contains(report), qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 1);
    // The tester does not answer wrong commands.
    QCOMPARE(run.session(1).value(QStringLiteral("bytes")), QStringLiteral("0"));
    QVERIFY(run.report().contains(QStringLiteral("0 bytes sent")));
    QVERIFY(!QFileInfo::exists(run.bedDir()));
}

void tst_VirtualTester::pacedTransferTakesLineTime_data()
{
    QTest::addColumn<QStringList>("pacing");
    QTest::addColumn<int>("expectedMs");
    QTest::addColumn<int>("pauses");

    QTest::newRow("9600 baud") << QStringList() << 2000 << 0;
    QTest::newRow("with a pause") << QStringList{QStringLiteral("--pause-every"),
                                                 QStringLiteral("960"),
                                                 QStringLiteral("--pause-ms"),
                                                 QStringLiteral("1500")}
                                  << 3500 << 1;
}

void tst_VirtualTester::pacedTransferTakesLineTime()
{
    QFETCH(QStringList, pacing);
    QFETCH(int, expectedMs);
    QFETCH(int, pauses);

    const QByteArray records = m_sample.left(1920);
    const QString recordsFile = m_dir.filePath(QStringLiteral("small.csv"));
    QFile file(recordsFile);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(records) == records.size());
    file.close();

    const QString out = m_dir.filePath(QStringLiteral("paced.bin"));
    ToolRun run(
        QStringList{QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-r"), recordsFile} +
            pacing,
        {QStringLiteral("--quiet"), QStringLiteral("2500"), QStringLiteral("/dev/ttyUSB0"), out});
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.exitCode() == 0, qPrintable(run.report()));
    QCOMPARE(readFile(out), records);

    // Bytes can leave late under load, never early.
    const QString took = QRegularExpression(QStringLiteral("sent 1920 bytes in ([0-9.]+) s"))
                             .match(run.report())
                             .captured(1);
    QVERIFY2(!took.isEmpty(), qPrintable(run.report()));
    QVERIFY2(took.toDouble() * 1000 >= expectedMs - 50, qPrintable(run.report()));
    QVERIFY2(took.toDouble() * 1000 <= expectedMs + 15000, qPrintable(run.report()));
    // And the program sees them spread over that time, not in a burst.
    const Fields client = run.session(1);
    const int spanMs = client.value(QStringLiteral("first_to_last_ms")).toInt();
    QVERIFY2(spanMs >= expectedMs - 500, qPrintable(run.output()));
    QVERIFY(client.value(QStringLiteral("long_gaps")).toInt() >= pauses);
    if (pauses > 0)
        QVERIFY(client.value(QStringLiteral("max_gap_ms")).toInt() >= 1200);
}

void tst_VirtualTester::pullOutMidTransfer_data()
{
    QTest::addColumn<bool>("paced");
    QTest::newRow("unpaced") << false;
    QTest::newRow("paced") << true;
}

void tst_VirtualTester::pullOutMidTransfer()
{
    QFETCH(bool, paced);
    const QString out = m_dir.filePath(QStringLiteral("pulled.bin"));
    QStringList args{QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("--pull-out-after"),
                     QStringLiteral("1000")};
    if (!paced)
        args << QStringLiteral("-u");
    // The adapter goes as soon as the program has read what reached it, well
    // before the client would give up on a quiet line.
    ToolRun run(args, {QStringLiteral("--quiet"), QStringLiteral("2500"),
                       QStringLiteral("/dev/ttyUSB0"), out});
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.exitCode() == 0, qPrintable(run.report()));
    QCOMPARE(readFile(out), m_sample.left(1000));

    const Fields client = run.session(1);
    QVERIFY2(client.value(QStringLiteral("hangup")) == QStringLiteral("1"),
             qPrintable(run.output()));
    const int error = client.value(QStringLiteral("hangup_errno")).toInt();
    QVERIFY2(error == 0 || error == EIO || error == ENODEV, qPrintable(run.output()));
    QCOMPARE(client.value(QStringLiteral("gone")), QStringLiteral("1"));
    QCOMPARE(client.value(QStringLiteral("removed")), QStringLiteral("1"));
    QVERIFY(run.report().contains(
        QStringLiteral("adapter pulled out after 1000 of %1 bytes").arg(m_sample.size())));
    QVERIFY2(!run.report().contains(QStringLiteral("ERROR")), qPrintable(run.report()));
    QVERIFY(!QFileInfo::exists(run.bedDir()));
}

void tst_VirtualTester::repeatAnswersEachDownload_data()
{
    QTest::addColumn<bool>("repeat");
    QTest::newRow("with --repeat") << true;
    QTest::newRow("without") << false;
}

void tst_VirtualTester::repeatAnswersEachDownload()
{
    QFETCH(bool, repeat);
    const QString out = m_dir.filePath(QStringLiteral("repeat.bin"));
    QFile::remove(out + QStringLiteral(".2"));
    QStringList args{QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0")};
    if (repeat)
        args << QStringLiteral("--repeat");
    ToolRun run(args, {QStringLiteral("--sessions"), QStringLiteral("2"),
                       QStringLiteral("--first-timeout"), QStringLiteral("4000"),
                       QStringLiteral("/dev/ttyUSB0"), out});
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.exitCode() == 0, qPrintable(run.report()));
    QCOMPARE(readFile(out), m_sample);
    if (repeat) {
        QCOMPARE(readFile(out + QStringLiteral(".2")), m_sample);
        QVERIFY(run.report().contains(QStringLiteral("2 download(s) answered, 0 failed")));
    } else {
        QCOMPARE(readFile(out + QStringLiteral(".2")), QByteArray());
        QVERIFY2(run.report().contains(QStringLiteral("25 more bytes while not waiting")),
                 qPrintable(run.report()));
    }
    QVERIFY(!QFileInfo::exists(run.bedDir()));
}

void tst_VirtualTester::signalEndsProgramAndCleansBed_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("delay");
    QTest::addColumn<QString>("phase");
    QTest::addColumn<bool>("lingering"); // the program ignores SIGTERM
    QTest::newRow("SIGTERM while the technician waits")
        << int(SIGTERM) << QStringLiteral("60") << QStringLiteral("the technician starts") << false;
    QTest::newRow("SIGINT while sending")
        << int(SIGINT) << QStringLiteral("0") << QStringLiteral("sending") << false;
    QTest::newRow("SIGTERM before the commands")
        << int(SIGTERM) << QStringLiteral("0") << QStringLiteral("waiting for the commands")
        << false;
    // A second signal while the tester waits for a lingering program must
    // not cut the clean-up short.
    QTest::newRow("SIGTERM twice, program lingers")
        << int(SIGTERM) << QStringLiteral("60") << QStringLiteral("the technician starts") << true;
}

void tst_VirtualTester::signalEndsProgramAndCleansBed()
{
    QFETCH(int, signal);
    QFETCH(QString, delay);
    QFETCH(QString, phase);
    QFETCH(bool, lingering);
    const QString out = m_dir.filePath(QStringLiteral("signalled.bin"));
    QStringList client{QStringLiteral("--first-timeout"), QStringLiteral("120000"),
                       QStringLiteral("--quiet"), QStringLiteral("120000")};
    if (phase.startsWith(QStringLiteral("waiting")))
        client << QStringLiteral("--send") << QString();
    if (lingering)
        client << QStringLiteral("--ignore-term") << QStringLiteral("1");
    ToolRun run({QStringLiteral("-d"), delay},
                client + QStringList{QStringLiteral("/dev/ttyUSB0"), out});
    QVERIFY2(run.waitForReport(phase), qPrintable(run.report()));
    const QString bed = run.bedDir();
    const pid_t child = run.childPid();
    QVERIFY(QFileInfo::exists(bed));
    QVERIFY(child > 0);
    QCOMPARE(::kill(child, 0), 0);

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(::kill(pid_t(run.pid()), signal), 0);
    if (lingering) {
        QVERIFY2(run.waitForReport(QStringLiteral("ending the program")), qPrintable(run.report()));
        QCOMPARE(::kill(pid_t(run.pid()), signal), 0);
    }
    QVERIFY2(run.finish(30000), qPrintable(run.report()));
    QVERIFY2(timer.elapsed() < 20000, qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 128 + signal);
    QVERIFY2(!QFileInfo::exists(bed), "the test bed was left behind");
    QCOMPARE(::kill(child, 0), -1);
    QCOMPARE(errno, ESRCH);
    QVERIFY(run.report().contains(QStringLiteral("received, cleaning up")));
}

void tst_VirtualTester::bedWithoutCommandServesByHand()
{
    ToolRun run({QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0")});
    QVERIFY2(run.waitForOutput(QStringLiteral("DEVNAME=")), qPrintable(run.report()));
    const QString bed =
        QRegularExpression(QStringLiteral("UMOCKDEV_DIR=(\\S+)")).match(run.output()).captured(1);
    QVERIFY(QFileInfo::exists(bed));
    QVERIFY(run.output().contains(QStringLiteral("DEVNAME=/dev/ttyUSB0")));

    // The way a developer starts a program in the bed by hand.
    const QString out = m_dir.filePath(QStringLiteral("byhand.bin"));
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("UMOCKDEV_DIR"), bed);
    client.setProcessEnvironment(env);
    client.start(QStringLiteral("umockdev-wrapper"),
                 {QStringLiteral(CV_TESTER_CLIENT), QStringLiteral("/dev/ttyUSB0"), out});
    QVERIFY(client.waitForFinished(60000));
    QCOMPARE(client.exitCode(), 0);
    QCOMPARE(readFile(out), m_sample);

    QCOMPARE(::kill(pid_t(run.pid()), SIGINT), 0);
    QVERIFY2(run.finish(30000), qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(bed));
}

void tst_VirtualTester::settleAndPlugInOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("settleMs");
    QTest::addColumn<int>("plugInAfterMs");

    QTest::newRow("defaults") << QStringList() << true << 300 << -1;
    QTest::newRow("short settle") << QStringList{QStringLiteral("--settle"), QStringLiteral("0.02")}
                                  << true << 20 << -1;
    QTest::newRow("settle not a number")
        << QStringList{QStringLiteral("--settle"), QStringLiteral("x")} << false << 0 << 0;
    QTest::newRow("plug in again")
        << QStringList{QStringLiteral("--pull-out-after"), QStringLiteral("10"),
                       QStringLiteral("--plug-in-after"), QStringLiteral("0.5")}
        << true << 300 << 500;
    QTest::newRow("plugged in after the start")
        << QStringList{QStringLiteral("--plug-in-after"), QStringLiteral("2")} << true << 300
        << 2000;
    QTest::newRow("idle pull-out not a number")
        << QStringList{QStringLiteral("--pull-out-idle-after"), QStringLiteral("soon")} << false
        << 0 << 0;
    QTest::newRow("negative plug-in time")
        << QStringList{QStringLiteral("--pull-out-after"), QStringLiteral("10"),
                       QStringLiteral("--plug-in-after"), QStringLiteral("-1")}
        << false << 0 << 0;
}

void tst_VirtualTester::settleAndPlugInOptions()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(int, settleMs);
    QFETCH(int, plugInAfterMs);

    TesterOptions parsed;
    QString error;
    QString help;
    QCOMPARE(TesterOptions::parse(QStringList{QStringLiteral("tool")} + args,
                                  QStringLiteral("default.csv"), &parsed, &error, &help),
             valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        return;
    QCOMPARE(parsed.settleMs, settleMs);
    QCOMPARE(parsed.plugInAfterMs, plugInAfterMs);
}

void tst_VirtualTester::pulledOutAdapterPluggedInAgain()
{
    ToolRun run({QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0"),
                 QStringLiteral("--repeat"), QStringLiteral("--pull-out-after"),
                 QStringLiteral("100"), QStringLiteral("--plug-in-after"), QStringLiteral("0.2"),
                 QStringLiteral("--timeout"), QStringLiteral("60")});
    QVERIFY2(run.waitForOutput(QStringLiteral("DEVNAME=")), qPrintable(run.report()));
    const QString bed = run.bedDir();
    const QString tty = bed + TestBed::sysPath();

    // Twice the same: each time a fresh line, answered and then hung up.
    for (int round = 1; round <= 2; ++round) {
        QVERIFY2(QFileInfo::exists(tty), qPrintable(run.report()));
        ProgramEnd line(bed + QStringLiteral("/dev/ttyUSB0"));
        QVERIFY2(line.isOpen(), qPrintable(QStringLiteral("round %1").arg(round)));
        QVERIFY(line.write(CommandCheck::expected()));
        bool hungUp = false;
        QCOMPARE(line.read(1000, 5000, &hungUp), m_sample.left(100));
        QVERIFY2(hungUp, qPrintable(run.report()));
        QVERIFY(run.waitForReport(
            QStringLiteral("session %1: adapter pulled out after 100").arg(round), 10000));
        QVERIFY2(run.waitForReport(QStringLiteral("adapter plugged in again"), 10000, round),
                 qPrintable(run.report()));
        // A line opened before the pull-out stays dead once the adapter is
        // back, as a real one does; only a new open gets the new line.
        QCOMPARE(line.read(1, 1000, &hungUp), QByteArray());
        QVERIFY(hungUp);
    }
    QCOMPARE(::kill(pid_t(run.pid()), SIGTERM), 0);
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.report().contains(QStringLiteral("2 download(s) answered, 0 failed")),
             qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(bed));
}

void tst_VirtualTester::newRequestSupersedesTheLast()
{
    const QString records = m_dir.filePath(QStringLiteral("short.csv"));
    // Long enough at the rate below that the tester is still sending when the
    // new request comes, with a second and a half to spare.
    const QByteArray sent = m_sample.left(1500);
    {
        QFile file(records);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(sent), sent.size());
    }
    ToolRun run({QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("--rate"),
                 QStringLiteral("1000"), QStringLiteral("--settle"), QStringLiteral("0.05"),
                 QStringLiteral("--repeat"), QStringLiteral("--records"), records,
                 QStringLiteral("--timeout"), QStringLiteral("60")});
    QVERIFY2(run.waitForOutput(QStringLiteral("DEVNAME=")), qPrintable(run.report()));
    ProgramEnd line(run.bedDir() + QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(line.isOpen());

    // Given up after a few bytes and asked again, the way a cancelled
    // download followed by a new one looks on the line.
    QVERIFY(line.write(CommandCheck::expected()));
    QCOMPARE(line.read(20, 5000), sent.left(20));
    line.flushInput();
    QVERIFY(line.write(CommandCheck::expected()));
    const QByteArray second = line.readThrough(sent, 30000);
    QVERIFY2(second.endsWith(sent), second.constData());
    QVERIFY(second.size() < 2 * sent.size());
    QVERIFY2(run.waitForReport(QStringLiteral("a new download began after")),
             qPrintable(run.report()));

    // A request broken off before its end does not spoil the next one.
    QVERIFY(line.write("SYST:REM\r\nMEM:DA"));
    QTest::qWait(100);
    QVERIFY(line.write(CommandCheck::expected()));
    QCOMPARE(line.readThrough(sent, 30000), sent);
    QVERIFY2(run.waitForReport(QStringLiteral("an unfinished request was dropped for a new one: "
                                              "\"SYST:REM\\r\\nMEM:DA\"")),
             qPrintable(run.report()));

    QCOMPARE(::kill(pid_t(run.pid()), SIGTERM), 0);
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.report().contains(QStringLiteral("2 download(s) answered, 0 failed")),
             qPrintable(run.report()));
    QVERIFY(run.report().contains(QStringLiteral("1 download(s) given up by the program")));
    QCOMPARE(run.exitCode(), 0);
}

void tst_VirtualTester::lineDownload_data()
{
    QTest::addColumn<bool>("nullModem"); // a socat pair instead of the tester's own pty
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("sessions");
    QTest::addColumn<int>("bytes"); // each download's; -1: all, else then hung up

    const QStringList repeat{QStringLiteral("--repeat")};
    QTest::newRow("own pty, two downloads") << false << repeat << 2 << -1;
    QTest::newRow("null-modem pair, two downloads") << true << repeat << 2 << -1;
    QTest::newRow("own pty hung up mid-transfer")
        << false << QStringList{QStringLiteral("--pull-out-after"), QStringLiteral("1000")} << 1
        << 1000;
}

void tst_VirtualTester::lineDownload()
{
    QFETCH(bool, nullModem);
    QFETCH(QStringList, args);
    QFETCH(int, sessions);
    QFETCH(int, bytes);

    QStringList line{QStringLiteral("--line"), QStringLiteral("pty")};
    QProcess socat;
    const auto endSocat = qScopeGuard([&] {
        socat.terminate();
        socat.waitForFinished(10000);
    });
    if (nullModem) {
        const QString tester = m_dir.filePath(QStringLiteral("tester-end"));
        const QString program = m_dir.filePath(QStringLiteral("program-end"));
        socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + tester,
                                              QStringLiteral("pty,raw,echo=0,link=") + program});
        QVERIFY2(socat.waitForStarted(), "socat is not installed");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(tester) && QFileInfo::exists(program), 10000);
        line = QStringList{QStringLiteral("--line"), tester, QStringLiteral("--program-port"),
                           program};
    }
    const QString out = m_dir.filePath(QStringLiteral("line.bin"));
    QFile::remove(out);
    QFile::remove(out + QStringLiteral(".2"));
    // The client opens the port the tester names in CV_TESTER_PORT.
    ToolRun run(line +
                    QStringList{QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0"),
                                QStringLiteral("--timeout"), QStringLiteral("120")} +
                    args,
                {QStringLiteral("--sessions"), QString::number(sessions), QStringLiteral("--quiet"),
                 QString::number(bytes < 0 ? 1000 : 10000), QStringLiteral("-"), out});
    QVERIFY2(run.finish(), qPrintable(run.report()));
    QVERIFY2(run.exitCode() == 0, qPrintable(run.report()));
    const QByteArray expected = bytes < 0 ? m_sample : m_sample.left(bytes);
    QCOMPARE(readFile(out), expected);
    if (sessions > 1)
        QCOMPARE(readFile(out + QStringLiteral(".2")), expected);
    QVERIFY2(
        run.report().contains(QStringLiteral("%1 download(s) answered, 0 failed").arg(sessions)),
        qPrintable(run.report()));
    QVERIFY(!run.report().contains(QStringLiteral("test bed")));
    QCOMPARE(run.session(1).value(QStringLiteral("hangup")), QString::number(bytes < 0 ? 0 : 1));
    if (bytes >= 0)
        QVERIFY(run.report().contains(
            QStringLiteral("line hung up after %1 of %2 bytes").arg(bytes).arg(m_sample.size())));
}

void tst_VirtualTester::lineWithoutCommandServesByHand_data()
{
    QTest::addColumn<bool>("ownPty");
    QTest::newRow("own pty, its port printed") << true;
    QTest::newRow("a pair held by the program's side") << false;
}

void tst_VirtualTester::lineWithoutCommandServesByHand()
{
    QFETCH(bool, ownPty);
    QStringList args{QStringLiteral("-u"),       QStringLiteral("-d"),        QStringLiteral("0"),
                     QStringLiteral("--repeat"), QStringLiteral("--timeout"), QStringLiteral("120"),
                     QStringLiteral("--line")};
    std::unique_ptr<ProgramEnd> end;
    if (ownPty) {
        args << QStringLiteral("pty");
    } else {
        QString slave;
        end = std::make_unique<ProgramEnd>(&slave);
        QVERIFY(!slave.isEmpty());
        args << slave;
    }
    ToolRun run(args);
    QVERIFY2(run.waitForReport(QStringLiteral("Ctrl+C ends the tester")), qPrintable(run.report()));
    QString port;
    if (ownPty) {
        QVERIFY2(run.waitForOutput(QStringLiteral("\n")), qPrintable(run.report()));
        port = QRegularExpression(QStringLiteral("^CV_TESTER_PORT=(/dev/pts/\\d+)\n$"))
                   .match(run.output())
                   .captured(1);
        QVERIFY2(!port.isEmpty(), qPrintable(run.output()));
    }

    // The bytes pass exactly whatever mode the program leaves the line in.
    if (ownPty)
        end = std::make_unique<ProgramEnd>(port, false);
    QVERIFY(end->isOpen());
    QVERIFY(end->write(CommandCheck::expected()));
    QCOMPARE(end->read(m_sample.size(), 2000), m_sample);
    QVERIFY2(run.waitForReport(QStringLiteral("session 1: sent")), qPrintable(run.report()));

    // A program that closes the port while the tester answers finds the
    // answer when it opens the port again.
    QVERIFY(end->write(CommandCheck::expected()));
    if (ownPty)
        end.reset();
    QVERIFY2(run.waitForReport(QStringLiteral("session 2: sending")), qPrintable(run.report()));
    if (ownPty)
        end = std::make_unique<ProgramEnd>(port, false);
    QCOMPARE(end->read(m_sample.size(), 2000), m_sample);
    QCOMPARE(::kill(pid_t(run.pid()), SIGINT), 0);
    QVERIFY2(run.finish(30000), qPrintable(run.report()));
    QVERIFY2(run.report().contains(QStringLiteral("2 download(s) answered, 0 failed")),
             qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 0);
    // The far end of a path is not known to the tester: nothing to print.
    if (!ownPty)
        QCOMPARE(run.output(), QString());
}

void tst_VirtualTester::lineHangUpCountsWhatWasNotRead()
{
    ToolRun run({QStringLiteral("-u"), QStringLiteral("-d"), QStringLiteral("0"),
                 QStringLiteral("--line"), QStringLiteral("pty"),
                 QStringLiteral("--pull-out-after"), QStringLiteral("1000"),
                 QStringLiteral("--timeout"), QStringLiteral("60")});
    QVERIFY2(run.waitForOutput(QStringLiteral("\n")), qPrintable(run.report()));
    ProgramEnd end(run.output().section(QLatin1Char('='), 1).trimmed());
    QVERIFY(end.isOpen());
    // A program that stops reading: the tester waits for it a while, then
    // hangs up and says what it never read.
    QVERIFY(end.write(CommandCheck::expected()));
    QVERIFY2(run.waitForReport(QStringLiteral("session 1: line hung up after 1000 of")),
             qPrintable(run.report()));
    QVERIFY2(run.report().contains(QStringLiteral("1000 bytes the program had not read were lost")),
             qPrintable(run.report()));
    bool hungUp = false;
    end.read(2000, 1000, &hungUp);
    QVERIFY(hungUp);
    QCOMPARE(::kill(pid_t(run.pid()), SIGINT), 0);
    QVERIFY2(run.finish(30000), qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 0);
}

void tst_VirtualTester::lineThatCannotBeOpenedFails_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("report");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("no-such-port"))
                             << QStringLiteral("No such file");
    QTest::newRow("not a terminal")
        << QStringLiteral("/dev/null") << QStringLiteral("/dev/null is not a terminal");
}

void tst_VirtualTester::lineThatCannotBeOpenedFails()
{
    QFETCH(QString, path);
    QFETCH(QString, report);
    ToolRun run({QStringLiteral("--line"), path},
                {QStringLiteral("-"), m_dir.filePath(QStringLiteral("unopened.bin"))});
    QVERIFY2(run.finish(30000), qPrintable(run.report()));
    QCOMPARE(run.exitCode(), 2);
    QVERIFY2(run.report().contains(report), qPrintable(run.report()));
    QVERIFY(!run.report().contains(QStringLiteral("started")));
}

QTEST_GUILESS_MAIN(tst_VirtualTester)
#include "tst_virtualtester.moc"
