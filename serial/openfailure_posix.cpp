#include "openfailure.h"

#include "portholders.h"
#include "portlock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Cv {

namespace {

// The reentrant lookups, with a buffer grown until the entry fits.
template<typename Entry, typename Lookup>
bool lookUp(Lookup lookup, Entry *entry, std::vector<char> *buffer)
{
    buffer->resize(1024);
    Entry *found = nullptr;
    int rc;
    while ((rc = lookup(entry, buffer->data(), buffer->size(), &found)) == ERANGE &&
           buffer->size() < 1024 * 1024)
        buffer->resize(buffer->size() * 2);
    return rc == 0 && found != nullptr;
}

QString userName(uid_t uid)
{
    struct passwd entry;
    std::vector<char> buffer;
    if (!lookUp([uid](passwd *e, char *b, std::size_t n,
                      passwd **f) { return ::getpwuid_r(uid, e, b, n, f); },
                &entry, &buffer))
        return QString::number(uid);
    return QString::fromLocal8Bit(entry.pw_name);
}

QString groupName(gid_t gid)
{
    struct group entry;
    std::vector<char> buffer;
    if (!lookUp([gid](group *e, char *b, std::size_t n,
                      group **f) { return ::getgrgid_r(gid, e, b, n, f); },
                &entry, &buffer))
        return {};
    return QString::fromLocal8Bit(entry.gr_name);
}

// Joining the group helps only where the group may read and write the port;
// joining root's group would hand out the whole machine. A node open to all
// that still refuses us is guarded by something else: nothing to name then.
void describeAccess(const QString &path, OpenFailure *failure)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return;
    if ((st.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH))
        return;
    if (st.st_gid != 0 && (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
        failure->deviceGroup = groupName(st.st_gid);
    if (failure->deviceGroup.isEmpty())
        failure->deviceOwner = userName(st.st_uid);
}

// Who holds the port: what /proc shows of this user's programs, else the
// process named in the port's lock file.
void describeHolder(const QString &path, OpenFailure *failure)
{
    const QByteArray node = QFile::encodeName(path);
    const std::vector<PortHolder> holders = findPortHolders(node.constData());
    if (!holders.empty()) {
        failure->holderCommand = QString::fromLocal8Bit(holders.front().command);
        failure->holderProcessId = holders.front().pid;
        return;
    }
    if (const pid_t pid = PortLock::holder(node.constData())) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly))
            failure->holderCommand = QString::fromLocal8Bit(comm.readLine().trimmed());
        failure->holderProcessId = pid;
    }
}

// Bare names are looked up under /dev, as the port layer does.
QString nodePath(const QString &openName)
{
    return openName.startsWith(QLatin1Char('/')) ? openName : QStringLiteral("/dev/") + openName;
}

} // namespace

OpenFailure describeOpenFailure(const QString &openName, DWORD errorCode, int systemError)
{
    OpenFailure failure;
    failure.probedByModemServices = true;
    if (systemError != 0)
        failure.systemMessage = QString::fromLocal8Bit(std::strerror(systemError));

    switch (systemError) {
    case EACCES:
    case EPERM:
        failure.reason = OpenFailure::Reason::NoPermission;
        describeAccess(nodePath(openName), &failure);
        break;
    case EBUSY:
    case EWOULDBLOCK:
        failure.reason = OpenFailure::Reason::InUse;
        describeHolder(nodePath(openName), &failure);
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
        failure.reason = OpenFailure::Reason::NotPresent;
        break;
    case 0:
        // Refused by the device itself before any system call, or by the port
        // layer for a program it found on the port.
        if (errorCode == ERROR_FILE_NOT_FOUND || errorCode == ERROR_PATH_NOT_FOUND) {
            failure.reason = OpenFailure::Reason::NotPresent;
        } else if (errorCode == ERROR_SHARING_VIOLATION) {
            failure.reason = OpenFailure::Reason::InUse;
            describeHolder(nodePath(openName), &failure);
        }
        break;
    default:
        break;
    }
    return failure;
}

} // namespace Cv
