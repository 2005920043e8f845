#include "filesizecap.h"
#include "recordfilewriter.h"
#include "testfiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString nodeType(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("none");
    if (S_ISCHR(status.st_mode))
        return QStringLiteral("char device");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("fifo");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("socket");
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("link");
    return S_ISREG(status.st_mode) ? QStringLiteral("file") : QStringLiteral("other");
}

enum class Who { Me, OrdinaryUser };

// Saves in a child process, which may run as an ordinary user: the tests run
// as root, whom no folder refuses. The child's reason comes back through a
// pipe. A save that hangs fails the test instead of stopping it.
RecordFileResult writeInChild(const QString &path, const QByteArray &data, Who who)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return {false, QStringLiteral("no pipe")};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        bool dropped = true;
        if (who == Who::OrdinaryUser && ::geteuid() == 0) {
            const uid_t nobody = 65534;
            dropped =
                ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
        }
        const RecordFileResult result = dropped ? writeRecordFile(path, data)
                                                : RecordFileResult{false, "no privileges dropped"};
        const QByteArray reason = result.reason.toUtf8();
        [[maybe_unused]] const ssize_t sent =
            ::write(channel[1], reason.constData(), reason.size());
        ::_exit(result.saved ? 0 : 1);
    }
    ::close(channel[1]);
    int status = 0;
    bool finished = false;
    const QDeadlineTimer deadline(30000);
    while (child > 0 && !finished && !deadline.hasExpired()) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        finished = done == child || (done < 0 && errno != EINTR);
        if (!finished)
            QThread::msleep(10);
    }
    if (child > 0 && !finished) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        ::close(channel[0]);
        return {false, QStringLiteral("the save did not finish")};
    }
    QByteArray reason;
    char buffer[256];
    for (;;) {
        const ssize_t count = ::read(channel[0], buffer, sizeof buffer);
        if (count > 0)
            reason.append(buffer, count);
        else if (count == 0 || errno != EINTR)
            break;
    }
    ::close(channel[0]);
    const bool saved = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {saved, QString::fromUtf8(reason)};
}

// A unix socket bound at path; the node stays when the socket is closed.
bool makeSocketNode(const QString &path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

} // namespace

class TestRecordFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fileSizeLimitGivesTheSystemsReason_data();
    void fileSizeLimitGivesTheSystemsReason();
    void folderTheUserMayNotWriteTo_data();
    void folderTheUserMayNotWriteTo();
    void failedSaveInPlaceKeepsTheOldFile_data();
    void failedSaveInPlaceKeepsTheOldFile();
    void targetsOtherThanFiles_data();
    void targetsOtherThanFiles();

private:
    QTemporaryDir dir;
};

void TestRecordFileWriter::initTestCase()
{
    QVERIFY(dir.isValid());
    // The ordinary user may pass through the test's folder but not write to it.
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    // As the program does at start: past the limit, a write fails instead.
    std::signal(SIGXFSZ, SIG_IGN);
}

void TestRecordFileWriter::fileSizeLimitGivesTheSystemsReason_data()
{
    QTest::addColumn<int>("size");
    // Smaller than a file's write buffer: a buffered failure would only come
    // up, and be lost, when the file is committed.
    QTest::newRow("small") << 1024;
    QTest::newRow("written at once") << 64 * 1024;
}

// A file size limit fails the write as a full disk does: a short write, then
// an error with the system's reason.
void TestRecordFileWriter::fileSizeLimitGivesTheSystemsReason()
{
    QFETCH(int, size);
    const QString path = dir.filePath(QTest::currentDataTag() + QLatin1String(".csv"));
    const QByteArray previous("the records of yesterday\r\n");
    QVERIFY(writeFile(path, previous, QFile::ReadOwner | QFile::WriteOwner));

    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 512;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const RecordFileResult result = writeRecordFile(path, QByteArray(size, 'x'));
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);

    QVERIFY(!result.saved);
    QCOMPARE(result.reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(fileBytes(path), previous);
    // No temporary file left beside it.
    QCOMPARE(
        QDir(dir.path())
            .entryList({QTest::currentDataTag() + QLatin1String("*")}, QDir::Files | QDir::Hidden),
        QStringList{QFileInfo(path).fileName()});
}

void TestRecordFileWriter::folderTheUserMayNotWriteTo_data()
{
    QTest::addColumn<QString>("existing"); // "" for none, else its permissions: "rw" or "r"
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("reason");

    // Written in place: the only way to save there at all.
    QTest::newRow("file the user may write") << "rw" << true << QString();
    QTest::newRow("file the user may only read") << "r" << false << "is not writable";
    QTest::newRow("new file") << "" << false << QString::fromLocal8Bit(std::strerror(EACCES));
}

void TestRecordFileWriter::folderTheUserMayNotWriteTo()
{
    QFETCH(QString, existing);
    QFETCH(bool, saved);
    QFETCH(QString, reason);

    const QString folder = dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/records.csv");
    const QByteArray previous("the records of yesterday\r\n");
    if (!existing.isEmpty()) {
        QFile::Permissions permissions = QFile::ReadOwner | QFile::ReadOther;
        if (existing == QLatin1String("rw"))
            permissions |= QFile::WriteOwner | QFile::WriteOther;
        QVERIFY(writeFile(path, previous, permissions));
    }
    const QFile::Permissions passable =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(folder, passable));
    const auto unlock =
        qScopeGuard([&] { QFile::setPermissions(folder, passable | QFile::WriteOwner); });

    const QByteArray records("1,2\r\n3,4\r\n");
    const RecordFileResult result = writeInChild(path, records, Who::OrdinaryUser);

    QCOMPARE(result.saved, saved);
    QCOMPARE(fileBytes(path), saved ? records : existing.isEmpty() ? QByteArray() : previous);
    QCOMPARE(QFileInfo::exists(path), !existing.isEmpty());
    QVERIFY2(reason.isEmpty() ? result.reason.isEmpty() : result.reason.contains(reason),
             qPrintable(result.reason));
    // Nothing left behind in the folder.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), existing.isEmpty() ? 0 : 1);
}

void TestRecordFileWriter::failedSaveInPlaceKeepsTheOldFile_data()
{
    QTest::addColumn<int>("error");

    QTest::newRow("file size limit") << EFBIG;
    QTest::newRow("full file system") << ENOSPC;
}

// Where no temporary file may be created the file is written in place; a
// write that fails part-way must not leave half of the new records in it.
void TestRecordFileWriter::failedSaveInPlaceKeepsTheOldFile()
{
    QFETCH(int, error);

    const QString folder = dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    const QFile::Permissions passable =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    if (error == ENOSPC) {
        const QByteArray where = QFile::encodeName(folder);
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k,mode=0555") != 0)
            QSKIP("no small file system can be mounted here");
    }
    const auto unmount = qScopeGuard([&] {
        if (error == ENOSPC)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    });
    const QString path = folder + QStringLiteral("/records.csv");
    QByteArray previous;
    for (int i = 0; previous.size() < 40000; ++i)
        previous += QByteArray::number(i) + ",230.5,0.12\r\n";
    previous.truncate(40000);
    QVERIFY(writeFile(path, previous,
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    QVERIFY(QFile::setPermissions(folder, passable));
    const auto unlock =
        qScopeGuard([&] { QFile::setPermissions(folder, passable | QFile::WriteOwner); });

    const QByteArray records(70000, 'x');
    std::optional<FileSizeCap> cap;
    if (error == EFBIG) {
        cap.emplace(50000);
        QVERIFY(cap->isActive());
    }
    const RecordFileResult result = writeInChild(path, records, Who::OrdinaryUser);
    cap.reset();

    QVERIFY(!result.saved);
    QCOMPARE(result.reason, QString::fromLocal8Bit(std::strerror(error)));
    QVERIFY(fileBytes(path) == previous);
}

void TestRecordFileWriter::targetsOtherThanFiles_data()
{
    QTest::addColumn<QString>("target"); // a path, or a node the case makes
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("nodeAfter");

    // The machine's own devices are written by an ordinary user, who could
    // not replace them were the save to go wrong.
    QTest::newRow("null device") << "/dev/null" << true << QString() << "char device";
    QTest::newRow("full device") << "/dev/full" << false
                                 << QString::fromLocal8Bit(std::strerror(ENOSPC)) << "char device";
    QTest::newRow("link to the full device")
        << "link to /dev/full" << false << QString::fromLocal8Bit(std::strerror(ENOSPC)) << "link";
    // Written with the test's own rights, to which a folder is no obstacle.
    QTest::newRow("fifo") << "fifo" << false << "named pipe"
                          << "fifo";
    QTest::newRow("socket") << "socket" << false << "socket"
                            << "socket";
    QTest::newRow("link to a file") << "link to a file" << true << QString() << "link";
}

void TestRecordFileWriter::targetsOtherThanFiles()
{
    QFETCH(QString, target);
    QFETCH(bool, saved);
    QFETCH(QString, reason);
    QFETCH(QString, nodeAfter);

    const QString folder = dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther));
    QString path = folder + QStringLiteral("/records.csv");
    const QString linked = folder + QStringLiteral("/linked.csv");
    Who who = Who::Me;
    if (target.startsWith(u'/')) {
        path = target;
        who = Who::OrdinaryUser;
    } else if (target == QLatin1String("link to /dev/full")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        who = Who::OrdinaryUser;
    } else if (target == QLatin1String("link to a file")) {
        QVERIFY(writeFile(linked, "the records of yesterday\r\n",
                          QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::link(linked, path));
    } else if (target == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
    } else {
        QVERIFY(makeSocketNode(path));
    }

    const QByteArray records("1,2\r\n3,4\r\n");
    const RecordFileResult result = writeInChild(path, records, who);

    QCOMPARE(result.saved, saved);
    QVERIFY2(reason.isEmpty() ? result.reason.isEmpty() : result.reason.contains(reason),
             qPrintable(result.reason));
    QCOMPARE(nodeType(path), nodeAfter);
    if (target == QLatin1String("link to a file"))
        QCOMPARE(fileBytes(linked), records);
    // Nothing left behind in the folder.
    QCOMPARE(QDir(folder)
                 .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                 .size(),
             target.startsWith(u'/')                     ? 0
             : target == QLatin1String("link to a file") ? 2
                                                         : 1);
}

QTEST_GUILESS_MAIN(TestRecordFileWriter)
#include "tst_recordfilewriter.moc"
