#include "winserialdevice.h"

#include "devicepath.h"
#include "serialportsettings.h"

#include <QDebug>

#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace Cv {

namespace {

DWORD countOf(qint64 size)
{
    return static_cast<DWORD>(qBound<qint64>(0, size, std::numeric_limits<DWORD>::max()));
}

} // namespace

WinSerialDevice::WinSerialDevice(const QString &portName)
    : portName(portName)
    , handle(INVALID_HANDLE_VALUE)
    , settings(std::make_unique<SerialPortSettings>())
{}

WinSerialDevice::~WinSerialDevice()
{
    settings.reset();
    close();
    dcb.reset();
}

bool WinSerialDevice::isSequential() const
{
    return true;
}

QString WinSerialDevice::devicePath(const QString &portName, QStringView prefix)
{
    if (portName.startsWith(prefix))
        return portName;
    return prefix.toString() + portName;
}

void WinSerialDevice::setSettings(SerialPortSettings *newSettings)
{
    settings.reset(newSettings);
}

bool WinSerialDevice::open(OpenMode mode, quint32 readTotalTimeoutConstant,
                           quint32 writeTotalTimeoutConstant)
{
    const QString path = devicePath(portName, devicePathPrefix());
    qDebug("Win32SerialDevice::open()");
    reportedReadFailure = ERROR_SUCCESS;

    // CreateFileW stops at the first null, so a name with one inside would
    // open some other device.
    if (path.contains(QChar(0)))
        return failOpen(ERROR_INVALID_PARAMETER, 0);
    std::vector<WCHAR> wide(static_cast<std::size_t>(path.size()) + 1, 0);
    std::memcpy(wide.data(), path.utf16(), static_cast<std::size_t>(path.size()) * sizeof(WCHAR));

    handle = CreateFileW(wide.data(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failOpen(GetLastError(), cvLastSystemErrorNumber());

    if (!dcb) {
        dcb = std::make_unique<DCB>();
        std::memset(dcb.get(), 0, sizeof(DCB));
        dcb->DCBlength = sizeof(DCB);
    }
    if (!GetCommState(handle, dcb.get()))
        return failOpen(GetLastError(), cvLastSystemErrorNumber());

    if (settings)
        applySettings(settings.get());

    SetCommMask(handle, 0);
    SetupComm(handle, 4096, 4096);
    PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = readTotalTimeoutConstant;
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = writeTotalTimeoutConstant;
    adjustTimeouts(&timeouts);
    SetCommTimeouts(handle, &timeouts);
    appliedTimeouts = timeouts;
    adjustCommState();

    if (!SetCommState(handle, dcb.get()))
        return failOpen(GetLastError(), cvLastSystemErrorNumber());

    if (!QIODevice::open(mode))
        return failOpen(GetLastError(), cvLastSystemErrorNumber());
    return true;
}

bool WinSerialDevice::failOpen(DWORD code, int systemErrorNumber)
{
    reportFailure("Win32SerialDevice::open failed with error: ", code, systemErrorNumber);
    close();
    return false;
}

void WinSerialDevice::applySettings(const SerialPortSettings *s)
{
    if (!dcb || !s)
        return;
    if (s->isBaudRateSet())
        dcb->BaudRate = s->baudRate();
    if (s->isByteSizeSet())
        dcb->ByteSize = s->byteSize();
    if (s->isStopBitsSet())
        dcb->StopBits = s->stopBits();
    if (s->isFBinarySet())
        dcb->fBinary = s->fBinary();
    if (s->isFParitySet())
        dcb->fParity = s->fParity();
    if (s->isParitySet())
        dcb->Parity = s->parity();
    if (s->isFOutxDsrFlowSet())
        dcb->fOutxDsrFlow = s->fOutxDsrFlow();
    if (s->isFDsrSensitivitySet())
        dcb->fDsrSensitivity = s->fDsrSensitivity();
    if (s->isFDtrControlSet())
        dcb->fDtrControl = s->fDtrControl();
    if (s->isFOutxCtsFlowSet())
        dcb->fOutxCtsFlow = s->fOutxCtsFlow();
    if (s->isFRtsControlSet())
        dcb->fRtsControl = s->fRtsControl();
    if (s->isFOutXSet())
        dcb->fOutX = s->fOutX();
    if (s->isFInXSet())
        dcb->fInX = s->fInX();
    if (s->isXonCharSet())
        dcb->XonChar = s->xonChar();
    if (s->isXoffCharSet())
        dcb->XoffChar = s->xoffChar();
    if (s->isEvtCharSet())
        dcb->EvtChar = s->evtChar();
    if (s->isXonLimSet())
        dcb->XonLim = s->xonLim();
    if (s->isXoffLimSet())
        dcb->XoffLim = s->xoffLim();
    if (s->isFTXContinueOnXoffSet())
        dcb->fTXContinueOnXoff = s->fTXContinueOnXoff();
    if (s->isFErrorCharSet())
        dcb->fErrorChar = s->fErrorChar();
    if (s->isFNullSet())
        dcb->fNull = s->fNull();
    if (s->isFAbortOnErrorSet())
        dcb->fAbortOnError = s->fAbortOnError();
}

void WinSerialDevice::adjustTimeouts(COMMTIMEOUTS *) {}

void WinSerialDevice::adjustCommState() {}

qint64 WinSerialDevice::readData(char *data, qint64 maxSize)
{
    DWORD count = 0;
    if (!ReadFile(handle, data, countOf(maxSize), &count, nullptr)) {
        const DWORD code = GetLastError();
        const int systemErrorNumber = cvLastSystemErrorNumber();
        // A failure that keeps coming back would otherwise fill standard
        // error twenty times a second.
        if (code != reportedReadFailure) {
            reportFailure("Win32SerialDevice::readData failed with error: ", code,
                          systemErrorNumber);
        } else {
            errorCode = code;
            systemError = systemErrorNumber;
        }
        reportedReadFailure = code;
        return -1;
    }
    if (count > 0)
        emit readyRead();
    return count;
}

bool WinSerialDevice::isDisconnection(DWORD code)
{
    // What a read on a port whose device has gone answers: USB serial
    // drivers differ in the code they choose.
    return code == ERROR_DEVICE_NOT_CONNECTED || code == ERROR_BAD_COMMAND ||
           code == ERROR_ACCESS_DENIED;
}

qint64 WinSerialDevice::writeData(const char *data, qint64 maxSize)
{
    DWORD count = 0;
    const BOOL written = WriteFile(handle, data, countOf(maxSize), &count, nullptr);
    const DWORD code = GetLastError();
    const int systemErrorNumber = cvLastSystemErrorNumber();
    FlushFileBuffers(handle);
    if (!written) {
        reportFailure("Win32SerialDevice::writeData failed with error: ", code, systemErrorNumber);
        qDebug("%s", qPrintable(errorString()));
        return -1;
    }
    return count;
}

void WinSerialDevice::close()
{
    qDebug("Win32SerialDevice::close()");
    // Without this the device would still claim to be open, and a later read
    // would go to a closed handle.
    QIODevice::close();
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
}

void WinSerialDevice::reportFailure(const char *text, DWORD code, int systemErrorNumber)
{
    errorCode = code;
    systemError = systemErrorNumber;
    reportError(QLatin1String(text) + QString::number(code));
}

void WinSerialDevice::reportError(const QString &message)
{
    // One line per failure, written in one piece so that lines of concurrent
    // writers do not interleave.
    const QByteArray line = message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
    setErrorString(message);
}

} // namespace Cv
