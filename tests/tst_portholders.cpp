#include "openfailure.h"
#include "portholders.h"
#include "ptypair.h"
#include "readerprocess.h"
#include "win32api.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

HANDLE openPort(const QString &name)
{
    return CreateFileW(reinterpret_cast<LPCWSTR>(name.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether process pid has a descriptor whose link reads path.
bool linkReads(qint64 pid, const QString &path)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    const QStringList entries = QDir(fds).entryList(QDir::AllEntries | QDir::System);
    return std::any_of(entries.begin(), entries.end(), [&](const QString &fd) {
        return QFile::symLinkTarget(fds + QLatin1Char('/') + fd) == path;
    });
}

QByteArray commandOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
}

bool holdersInclude(const QString &path, qint64 pid)
{
    const std::vector<Cv::PortHolder> holders =
        Cv::findPortHolders(QFile::encodeName(path).constData());
    return std::any_of(holders.begin(), holders.end(),
                       [pid](const Cv::PortHolder &h) { return h.pid == pid; });
}

} // namespace

// Other programs on a port, as the Linux layer finds them in /proc: by the
// device they have open, whatever name it goes by there.
class TestPortHolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void heldPortNamesItsHolder_data();
    void heldPortNamesItsHolder();
    void terminalOfAnotherInstanceIsNotOurs();

private:
    QTemporaryDir lockDir;
};

void TestPortHolders::initTestCase()
{
    QVERIFY(lockDir.isValid());
    qputenv("CV_LOCK_DIR", QFile::encodeName(lockDir.path()));
}

void TestPortHolders::heldPortNamesItsHolder_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("by its own name") << false;
    QTest::newRow("through a link") << true;
}

void TestPortHolders::heldPortNamesItsHolder()
{
    QFETCH(bool, throughLink);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString name = pty.slavePath();
    if (throughLink) {
        name = dir.filePath(QStringLiteral("ttyUSB0"));
        QVERIFY(QFile::link(pty.slavePath(), name));
    }

    ReaderProcess cat(pty.slavePath());
    QVERIFY(cat.pid() > 0);
    // Between fork and exec the child still has our own descriptors.
    QTRY_VERIFY_WITH_TIMEOUT(commandOf(cat.pid()) == "cat" && linkReads(cat.pid(), pty.slavePath()),
                             10000);

    SetLastError(0);
    QCOMPARE(openPort(name), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    // Found by us, not reported by the system.
    QCOMPARE(cvLastSystemErrorNumber(), 0);

    const Cv::OpenFailure failure =
        Cv::describeOpenFailure(name, GetLastError(), cvLastSystemErrorNumber());
    QCOMPARE(failure.reason, Cv::OpenFailure::Reason::InUse);
    QCOMPARE(failure.holderCommand, QStringLiteral("cat"));
    QCOMPARE(failure.holderProcessId, cat.pid());
    QVERIFY2(failure.systemMessage.isEmpty(), qPrintable(failure.systemMessage));
}

// A container or sandbox with a devpts of its own numbers its terminals from
// 0 as well: its /dev/pts/N has our terminal's name and device numbers and is
// another terminal all the same.
void TestPortHolders::terminalOfAnotherInstanceIsNotOurs()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    QVERIFY(path.startsWith(QLatin1String("/dev/pts/")));

    QProcess holder;
    holder.setProgram(QStringLiteral(CV_FOREIGN_PTY_HOLDER));
    holder.setArguments({path.mid(9)});
    holder.start();
    QVERIFY(holder.waitForStarted());
    QByteArray said;
    while (!said.contains("ready\n") && holder.state() == QProcess::Running &&
           holder.waitForReadyRead(30000))
        said += holder.readAllStandardOutput();
    said += holder.readAllStandardOutput();
    if (!said.contains("ready\n")) {
        holder.waitForFinished(10000);
        if (holder.exitStatus() == QProcess::NormalExit && holder.exitCode() == 77)
            QSKIP(qPrintable(QStringLiteral("no devpts instance of our own here: ") +
                             QString::fromLocal8Bit(holder.readAllStandardError()).trimmed()));
        QFAIL(qPrintable(QString::fromLocal8Bit(holder.readAllStandardError())));
    }
    const qint64 pid = holder.processId();
    // The trap is set: its descriptor's link reads exactly our port's path.
    QVERIFY(linkReads(pid, path));

    QVERIFY(!holdersInclude(path, pid));
    HANDLE port = openPort(path);
    QVERIFY2(port != INVALID_HANDLE_VALUE, qPrintable(QString::number(GetLastError())));
    QVERIFY(CloseHandle(port));

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(30000));
    QCOMPARE(holder.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestPortHolders)
#include "tst_portholders.moc"
