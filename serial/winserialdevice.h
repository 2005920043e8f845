#pragma once

#include "win32api.h"

#include <QIODevice>
#include <QString>
#include <QStringView>

#include <memory>

namespace Cv {

class SerialPortSettings;

// Synchronous port device: every read and write blocks for at most the port's
// time-outs. It has no meta-object of its own on purpose, so it presents itself
// as a plain QIODevice.
class WinSerialDevice : public QIODevice
{
public:
    explicit WinSerialDevice(const QString &portName);
    ~WinSerialDevice() override;

    bool isSequential() const override;
    void close() override;

    bool open(OpenMode mode, quint32 readTotalTimeoutConstant, quint32 writeTotalTimeoutConstant);
    void setSettings(SerialPortSettings *settings);
    void applySettings(const SerialPortSettings *settings);

    // The reason of the last failure: the Windows code that ends the message,
    // and the operating system's own number behind it (0 when the device
    // refused by itself, without a system call failing).
    DWORD lastErrorCode() const { return errorCode; }
    int lastSystemError() const { return systemError; }

    // The read time-out in force since the last open: how long a read waits
    // for a first byte.
    quint32 readTimeout() const { return appliedTimeouts.ReadTotalTimeoutConstant; }

    // Whether a read failed because the device itself is gone (adapter
    // pulled out, tester switched off with a bus-powered adapter), rather
    // than the line merely being quiet or a read going wrong once.
    static bool isDisconnection(DWORD code);

    static QString devicePath(const QString &portName, QStringView prefix);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

    virtual void adjustTimeouts(COMMTIMEOUTS *timeouts);
    virtual void adjustCommState();

    void reportError(const QString &message);

    const QString portName;
    HANDLE handle;
    std::unique_ptr<DCB> dcb;
    std::unique_ptr<SerialPortSettings> settings;

private:
    Q_DISABLE_COPY_MOVE(WinSerialDevice)
    // Opening needs the time-outs; the plain QIODevice open stays out of reach.
    using QIODevice::open;

    bool failOpen(DWORD code, int systemErrorNumber);
    void reportFailure(const char *text, DWORD code, int systemErrorNumber);

    COMMTIMEOUTS appliedTimeouts{};
    DWORD errorCode = ERROR_SUCCESS;
    int systemError = 0;
    // The last read failure written to standard error since the open: the
    // same failure again is not written again.
    DWORD reportedReadFailure = ERROR_SUCCESS;
};

} // namespace Cv
