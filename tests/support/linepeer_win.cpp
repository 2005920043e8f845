#include "linepeer.h"

#include "downloadline.h"
#include "serialportsettings.h"

#include <windows.h>

#include <QDeadlineTimer>

#include <algorithm>
#include <memory>
#include <string>

namespace {

// Read time-outs are cut into slices so that a read ends near its deadline.
constexpr qint64 sliceMs = 100;

} // namespace

struct LinePeer::Private
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    QString port;
};

LinePeer::LinePeer() : d(std::make_unique<Private>())
{
    // The test's cable, set up by the runner.
    d->port = qEnvironmentVariable("CV_TEST_PORT");
    const QString peer = qEnvironmentVariable("CV_TEST_PEER");
    if (d->port.isEmpty() || peer.isEmpty())
        return;
    const std::wstring path = (QStringLiteral("\\\\.\\") + peer).toStdWString();
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    // The far end runs the line the download runs.
    const std::unique_ptr<Cv::SerialPortSettings> settings(Cv::downloadLineSettings());
    DCB dcb = settings->image();
    bool ready = SetCommState(handle, &dcb);
    // Bytes an earlier case left on the cable are not this case's.
    ready =
        ready && PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    if (!ready) {
        CloseHandle(handle);
        return;
    }
    d->handle = handle;
}

LinePeer::~LinePeer()
{
    if (d->handle != INVALID_HANDLE_VALUE)
        CloseHandle(d->handle);
}

bool LinePeer::isValid() const
{
    return d->handle != INVALID_HANDLE_VALUE;
}

QString LinePeer::portName() const
{
    return d->port;
}

bool LinePeer::write(const QByteArray &data, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qsizetype done = 0;
    while (done < data.size()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        COMMTIMEOUTS timeouts{};
        timeouts.WriteTotalTimeoutConstant = DWORD(left);
        DWORD n = 0;
        if (!SetCommTimeouts(d->handle, &timeouts) ||
            !WriteFile(d->handle, data.constData() + done, DWORD(data.size() - done), &n, nullptr))
            return false;
        done += qsizetype(n);
    }
    return true;
}

QByteArray LinePeer::read(qsizetype count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QByteArray data;
    char buffer[4096];
    while (data.size() < count) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        // A read returns when it has its count or its time is up.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadTotalTimeoutConstant = DWORD(std::min(left, sliceMs));
        const DWORD want = DWORD(std::min<qsizetype>(sizeof buffer, count - data.size()));
        DWORD n = 0;
        if (!SetCommTimeouts(d->handle, &timeouts) ||
            !ReadFile(d->handle, buffer, want, &n, nullptr))
            break;
        data.append(buffer, qsizetype(n));
    }
    return data;
}

int LinePeer::portInputCount() const
{
    // The port is the device's; the far end cannot look into its queue.
    return -1;
}

bool LinePeer::hangUp()
{
    // Closing one end of a null-modem cable leaves the other as it was.
    return false;
}

QString LinePeer::missingPortName()
{
    return QStringLiteral("COM250");
}

int LinePeer::missingPortSystemError()
{
    return ERROR_FILE_NOT_FOUND;
}

int LinePeer::heldPortSystemError()
{
    return ERROR_ACCESS_DENIED;
}

bool LinePeer::underWine()
{
    // Wine's own export; Windows has no such function.
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}
