#include "openfailure.h"

#include "portholders.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Cv {

namespace {

QString groupOwning(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};

    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    if (size <= 0)
        size = 1024;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    struct group entry;
    struct group *found = nullptr;
    int rc;
    while ((rc = ::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < 1024 * 1024)
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || found == nullptr)
        return {};
    return QString::fromLocal8Bit(found->gr_name);
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
        failure.deviceGroup = groupOwning(openName);
        break;
    case EBUSY:
    case EWOULDBLOCK: {
        failure.reason = OpenFailure::Reason::InUse;
        const std::vector<PortHolder> holders =
            findPortHolders(QFile::encodeName(nodePath(openName)).constData());
        if (!holders.empty()) {
            failure.holderCommand = QString::fromLocal8Bit(holders.front().command);
            failure.holderProcessId = holders.front().pid;
        }
        break;
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
        failure.reason = OpenFailure::Reason::NotPresent;
        break;
    case 0:
        // Refused by the device itself before any system call.
        if (errorCode == ERROR_FILE_NOT_FOUND || errorCode == ERROR_PATH_NOT_FOUND)
            failure.reason = OpenFailure::Reason::NotPresent;
        break;
    default:
        break;
    }
    return failure;
}

} // namespace Cv
