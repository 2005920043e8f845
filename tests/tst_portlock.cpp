#include "connectionfailureadvice.h"
#include "openfailure.h"
#include "ptypair.h"
#include "readerprocess.h"
#include "testfiles.h"
#include "win32api.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/wait.h>
#include <unistd.h>

namespace {

HANDLE openPort(const QString &name)
{
    return CreateFileW(reinterpret_cast<LPCWSTR>(name.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

QByteArray lockText(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

QByteArray commandOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
}

// The number of a process that has ended.
qint64 endedProcess()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    while (pid > 0 && ::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return pid;
}

} // namespace

// The lock file terminal programs share for a port, in a folder of the
// test's own: honoured when a live program left it, cleared when it is stale,
// ours while the port is open.
class TestPortLock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void liveLockRefusesAndNamesHolder();
    void openTakesAndCloseRemovesLock_data();
    void openTakesAndCloseRemovesLock();
    void withoutLockFolderThePortOpens_data();
    void withoutLockFolderThePortOpens();
    void holderKnownOnlyByNumber();

private:
    // The port as a test bed offers it: a link named like an adapter.
    bool makePort(const PtyPair &pty);

    std::unique_ptr<QTemporaryDir> lockDir;
    std::unique_ptr<QTemporaryDir> devDir;
    QString port;
    QString lockFile;
};

void TestPortLock::init()
{
    lockDir = std::make_unique<QTemporaryDir>();
    devDir = std::make_unique<QTemporaryDir>();
    QVERIFY(lockDir->isValid() && devDir->isValid());
    qputenv("CV_LOCK_DIR", QFile::encodeName(lockDir->path()));
    port = devDir->filePath(QStringLiteral("ttyUSB7"));
    lockFile = lockDir->filePath(QStringLiteral("LCK..ttyUSB7"));
}

bool TestPortLock::makePort(const PtyPair &pty)
{
    return pty.isValid() && QFile::link(pty.slavePath(), port);
}

void TestPortLock::liveLockRefusesAndNamesHolder()
{
    PtyPair pty;
    QVERIFY(makePort(pty));
    // Another program, alive, on a line of its own: only the lock tells.
    PtyPair elsewhere;
    QVERIFY(elsewhere.isValid());
    ReaderProcess cat(elsewhere.slavePath());
    QVERIFY(cat.pid() > 0);
    // Until its exec the child has our descriptors, our port among them.
    QTRY_COMPARE_WITH_TIMEOUT(commandOf(cat.pid()), QByteArray("cat"), 10000);
    QVERIFY(writeFile(lockFile, lockText(cat.pid())));

    SetLastError(0);
    QCOMPARE(openPort(port), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    QCOMPARE(cvLastSystemErrorNumber(), 0);
    QCOMPARE(contents(lockFile), lockText(cat.pid()));

    const Cv::OpenFailure failure =
        Cv::describeOpenFailure(port, GetLastError(), cvLastSystemErrorNumber());
    QCOMPARE(failure.holderCommand, QStringLiteral("cat"));
    QCOMPARE(failure.reason, Cv::OpenFailure::Reason::InUse);
    QCOMPARE(failure.holderProcessId, cat.pid());
    QCOMPARE(connectionFailureAdvice(failure, QStringLiteral("ttyUSB7")),
             QStringLiteral("ttyUSB7 is in use by cat (process %1)\n\nClose that program and try "
                            "again.")
                 .arg(cat.pid()));

    // Once that program has ended, its lock is stale.
    cat.stop();
    HANDLE handle = openPort(port);
    QVERIFY(handle != INVALID_HANDLE_VALUE);
    QVERIFY(CloseHandle(handle));
}

void TestPortLock::openTakesAndCloseRemovesLock_data()
{
    QTest::addColumn<QByteArray>("found");
    QTest::newRow("no lock") << QByteArray();
    QTest::newRow("left by a program that has ended") << QByteArray("ended");
    QTest::newRow("ours from a former life with the same number") << QByteArray("self");
    QTest::newRow("not a process number") << QByteArray("modem\n");
    QTest::newRow("empty") << QByteArray("");
}

void TestPortLock::openTakesAndCloseRemovesLock()
{
    QFETCH(QByteArray, found);
    PtyPair pty;
    QVERIFY(makePort(pty));
    if (found == "ended") {
        const qint64 ended = endedProcess();
        QVERIFY(ended > 0);
        found = lockText(ended);
    } else if (found == "self") {
        found = lockText(::getpid());
    }
    if (!found.isNull())
        QVERIFY(writeFile(lockFile, found));

    HANDLE handle = openPort(port);
    QVERIFY2(handle != INVALID_HANDLE_VALUE, qPrintable(QString::number(GetLastError())));
    QCOMPARE(contents(lockFile), lockText(::getpid()));
    QVERIFY(CloseHandle(handle));
    QVERIFY(!QFile::exists(lockFile));
}

void TestPortLock::withoutLockFolderThePortOpens_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("no such folder") << QStringLiteral("missing");
    QTest::newRow("a file in its place") << QStringLiteral("file");
}

void TestPortLock::withoutLockFolderThePortOpens()
{
    QFETCH(QString, folder);
    const QString path = lockDir->filePath(folder);
    if (folder == QLatin1String("file"))
        QVERIFY(writeFile(path, "not a folder"));
    qputenv("CV_LOCK_DIR", QFile::encodeName(path));
    PtyPair pty;
    QVERIFY(makePort(pty));

    HANDLE handle = openPort(port);
    QVERIFY2(handle != INVALID_HANDLE_VALUE, qPrintable(QString::number(GetLastError())));
    QVERIFY(CloseHandle(handle));
}

// Another user's program may hide even its name.
void TestPortLock::holderKnownOnlyByNumber()
{
    Cv::OpenFailure failure;
    failure.reason = Cv::OpenFailure::Reason::InUse;
    failure.holderProcessId = 5591;
    QCOMPARE(connectionFailureAdvice(failure, QStringLiteral("ttyUSB0")),
             QStringLiteral("ttyUSB0 is in use by another program (process 5591)\n\nClose that "
                            "program and try again."));
}

QTEST_GUILESS_MAIN(TestPortLock)
#include "tst_portlock.moc"
