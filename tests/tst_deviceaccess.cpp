#include "connectionfailureadvice.h"
#include "openfailure.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A user and a group other than root, whichever this machine has.
struct Other
{
    uid_t uid = 0;
    gid_t gid = 0;
    QString user;
    QString group;
};

Other someoneElse()
{
    Other other;
    ::setpwent();
    while (const passwd *entry = ::getpwent()) {
        if (entry->pw_uid != 0) {
            other.uid = entry->pw_uid;
            other.user = QString::fromLocal8Bit(entry->pw_name);
            break;
        }
    }
    ::endpwent();
    ::setgrent();
    while (const group *entry = ::getgrent()) {
        if (entry->gr_gid != 0) {
            other.gid = entry->gr_gid;
            other.group = QString::fromLocal8Bit(entry->gr_name);
            break;
        }
    }
    ::endgrent();
    return other;
}

} // namespace

// What the box advises for a port this user may not open, from the node's
// owner, group and mode: a group only where joining it would help and would
// not make the user an administrator.
class TestDeviceAccess : public QObject
{
    Q_OBJECT

private slots:
    void adviceFollowsOwnerGroupAndMode_data();
    void adviceFollowsOwnerGroupAndMode();
};

void TestDeviceAccess::adviceFollowsOwnerGroupAndMode_data()
{
    // "root" or "other" for owner and group; the advice names the group to
    // join, the owner the port is left to, or nobody.
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("group");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QString>("advice");

    QTest::newRow("root's alone") << "root"
                                  << "root" << 0600u << "owner";
    QTest::newRow("root's group may read and write") << "root"
                                                     << "root" << 0660u << "owner";
    QTest::newRow("a group may read and write") << "root"
                                                << "other" << 0660u << "group";
    QTest::newRow("a group may only read") << "root"
                                           << "other" << 0640u << "owner";
    QTest::newRow("a group may only write") << "root"
                                            << "other" << 0620u << "owner";
    QTest::newRow("a group without rights") << "root"
                                            << "other" << 0600u << "owner";
    QTest::newRow("a user's alone") << "other"
                                    << "other" << 0600u << "owner";
    QTest::newRow("a user's, shared with a group") << "other"
                                                   << "other" << 0660u << "group";
    QTest::newRow("open to all, refused all the same") << "root"
                                                       << "root" << 0666u << "nobody";
}

void TestDeviceAccess::adviceFollowsOwnerGroupAndMode()
{
    QFETCH(QString, owner);
    QFETCH(QString, group);
    QFETCH(uint, mode);
    QFETCH(QString, advice);

    const Other other = someoneElse();
    if (other.user.isEmpty() || other.group.isEmpty())
        QSKIP("no user or group besides root here");
    const bool ownerIsRoot = owner == QLatin1String("root");
    const bool groupIsRoot = group == QLatin1String("root");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString node = dir.filePath(QStringLiteral("ttyS0"));
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray path = QFile::encodeName(node);
    if (::chown(path.constData(), ownerIsRoot ? 0 : other.uid, groupIsRoot ? 0 : other.gid) != 0)
        QSKIP(qPrintable(QStringLiteral("cannot give a file away here: ") +
                         QString::fromLocal8Bit(std::strerror(errno))));
    QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);

    QString expected;
    if (advice == QLatin1String("group")) {
        expected = QStringLiteral("You are not allowed to use the port ttyS0. Add your user to the "
                                  "group \"%1\" (for example: sudo usermod -aG %1 $USER), then log "
                                  "out and log in again.")
                       .arg(other.group);
    } else if (advice == QLatin1String("owner")) {
        expected = QStringLiteral("ttyS0 is open to its owner (%1) only. Ask the administrator for "
                                  "access, for example with a udev rule that gives the port to the "
                                  "group dialout.")
                       .arg(ownerIsRoot ? QStringLiteral("root") : other.user);
    } else {
        expected = QStringLiteral(
            "You are not allowed to use the port ttyS0. Ask your administrator for access to it.");
    }
    // The refusal itself is the system's: its words stay.
    expected +=
        QStringLiteral("\n\nThe system reported: ") + QString::fromLocal8Bit(std::strerror(EACCES));

    const Cv::OpenFailure failure = Cv::describeOpenFailure(node, ERROR_ACCESS_DENIED, EACCES);
    QCOMPARE(failure.reason, Cv::OpenFailure::Reason::NoPermission);
    QCOMPARE(connectionFailureAdvice(failure, QStringLiteral("ttyS0")), expected);
}

QTEST_GUILESS_MAIN(TestDeviceAccess)
#include "tst_deviceaccess.moc"
