#include "recordfilewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions);
}

// Saves in a child process that runs as an ordinary user: the tests run as
// root, whom no folder refuses. The child's reason comes back through a pipe.
RecordFileResult writeAsOrdinaryUser(const QString &path, const QByteArray &data)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return {false, QStringLiteral("no pipe")};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        bool dropped = true;
        if (::geteuid() == 0) {
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
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool saved = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {saved, QString::fromUtf8(reason)};
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

private:
    QTemporaryDir dir;
};

void TestRecordFileWriter::initTestCase()
{
    QVERIFY(dir.isValid());
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

    // The user may pass through the test's folder but not write to the one of the case.
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
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
    const RecordFileResult result = writeAsOrdinaryUser(path, records);

    QCOMPARE(result.saved, saved);
    QCOMPARE(fileBytes(path), saved ? records : existing.isEmpty() ? QByteArray() : previous);
    QCOMPARE(QFileInfo::exists(path), !existing.isEmpty());
    QVERIFY2(reason.isEmpty() ? result.reason.isEmpty() : result.reason.contains(reason),
             qPrintable(result.reason));
    // Nothing left behind in the folder.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), existing.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestRecordFileWriter)
#include "tst_recordfilewriter.moc"
