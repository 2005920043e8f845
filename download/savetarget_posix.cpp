#include "savetarget.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

bool isDevice(const struct stat &status)
{
    return S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode);
}

} // namespace

SaveTarget::SaveTarget(const QString &path) : path(path), targetKind(Kind::File)
{
    // Whatever stat cannot see (nothing there yet, a dangling link, a folder
    // that may not be searched) is the file save's to create or report.
    struct stat status = {};
    int result;
    do {
        result = ::stat(QFile::encodeName(path).constData(), &status);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return;

    if (isDevice(status)) {
        targetKind = Kind::Device;
    } else if (S_ISFIFO(status.st_mode)) {
        // Writing would wait for a reader that may never come; replacing it
        // would break whatever set it up.
        targetKind = Kind::Refused;
        refusalReason = QCoreApplication::translate(
            "MainWindow",
            "This is a named pipe, not a file. Choose a file to save the records in.");
    } else if (S_ISSOCK(status.st_mode)) {
        targetKind = Kind::Refused;
        refusalReason = QCoreApplication::translate(
            "MainWindow", "This is a socket, not a file. Choose a file to save the records in.");
    }
}

// As cp does: the node stays, the device gets the bytes and has the last
// word (a full one refuses them).
RecordFileResult SaveTarget::writeIntoDevice(const QList<QByteArray> &blocks) const
{
    // Not blocking in the open: should a pipe have taken the device's place,
    // the open would wait for a reader.
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(),
                    O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return {false, qt_error_string(errno)};

    struct stat status = {};
    int error = 0;
    if (::fstat(fd, &status) != 0)
        error = errno;
    else if (!isDevice(status))
        error = ENODEV;
    else if (const int flags = ::fcntl(fd, F_GETFL);
             flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;

    for (const QByteArray &data : blocks) {
        qint64 written = 0;
        while (error == 0 && written < data.size()) {
            const ssize_t count =
                ::write(fd, data.constData() + written, static_cast<size_t>(data.size() - written));
            if (count > 0)
                written += count;
            else if (count == 0)
                error = EIO;
            else if (errno != EINTR)
                error = errno;
        }
    }
    // A block device keeps what it was given in the page cache; its write
    // errors come up here.
    if (error == 0 && S_ISBLK(status.st_mode)) {
        int result;
        do {
            result = ::fsync(fd);
        } while (result != 0 && errno == EINTR);
        if (result != 0)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        return {false, qt_error_string(error)};
    return {true, {}};
}

QString SaveTarget::lackOfRoom(const QFile &file, qint64 newSize, qint64 oldSize)
{
    // Past the limit the old bytes could not be put back either.
    rlimit limit = {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(qMax(newSize, oldSize)) > limit.rlim_cur)
        return qt_error_string(EFBIG);

    // Room for both: a copy-on-write file system takes fresh room for every
    // block rewritten, and keeps the old blocks until it is done.
    struct statvfs room = {};
    int result;
    do {
        result = ::fstatvfs(file.handle(), &room);
    } while (result != 0 && errno == EINTR);
    const quint64 unit = room.f_frsize != 0 ? room.f_frsize : room.f_bsize;
    if (result != 0 || unit == 0)
        return {};
    const auto units = [unit](qint64 size) {
        return (static_cast<quint64>(size) + unit - 1) / unit;
    };
    if (room.f_bavail < units(newSize) + units(oldSize))
        return qt_error_string(ENOSPC);
    return {};
}

QString SaveTarget::syncToDisk(const QFile &file)
{
    int result;
    do {
        result = ::fsync(file.handle());
    } while (result != 0 && errno == EINTR);
    return result == 0 ? QString() : qt_error_string(errno);
}
