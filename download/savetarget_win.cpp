#include "savetarget.h"

#include <QFile>
#include <QStorageInfo>

#include <io.h>
#include <windows.h>

// Windows keeps its devices and pipes in names of their own (NUL, COM1,
// \\.\pipe\...), apart from the folders a save dialog shows: whatever is
// there is taken for a file.
SaveTarget::SaveTarget(const QString &path) : path(path), targetKind(Kind::File) {}

// No target is taken for a device here.
RecordFileResult SaveTarget::writeIntoDevice(const QList<QByteArray> &) const
{
    return {false, qt_error_string(ERROR_NOT_SUPPORTED)};
}

// Windows has no file size limit per process. Room for the new and the old
// bytes, as elsewhere: a copy-on-write volume rewrites into fresh room.
QString SaveTarget::lackOfRoom(const QFile &file, qint64 newSize, qint64 oldSize)
{
    const QStorageInfo volume(file.fileName());
    if (!volume.isValid())
        return {};
    const qint64 unit = qMax(volume.blockSize(), 1);
    const auto units = [unit](qint64 size) { return (size + unit - 1) / unit; };
    if (volume.bytesAvailable() / unit < units(newSize) + units(oldSize))
        return qt_error_string(ERROR_DISK_FULL);
    return {};
}

QString SaveTarget::syncToDisk(const QFile &file)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle))
        return qt_error_string(static_cast<int>(GetLastError()));
    return {};
}
