#pragma once

#include "win32api.h"

#include <QIODevice>
#include <QString>

namespace Cv {

class SerialPortSettings;
class WinSerialDevice;
class WorkerThread;

// The port as the GUI uses it: writes are queued and reads take what the
// worker has stored, so neither ever waits for the line.
class WinSerialDeviceAsync : public QIODevice
{
    Q_OBJECT

public:
    WinSerialDeviceAsync(QObject *parent, const QString &portName);
    ~WinSerialDeviceAsync() override;

    void setSettings(SerialPortSettings *settings);

    bool isSequential() const override;
    bool open(OpenMode mode) override;
    void close() override;
    bool atEnd() const override;
    qint64 bytesAvailable() const override;
    bool canReadLine() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;

    // The reason of the last failed open, passed on from the port device
    // (kept here: the port device itself belongs to the worker while it runs).
    DWORD lastErrorCode() const { return openErrorCode; }
    int lastSystemError() const { return openSystemError; }

    // How long a read of the port waits for a first byte: a quiet line
    // gives one readTimeOut() per this time.
    static constexpr quint32 readTimeoutMs = 50;
    static constexpr quint32 writeTimeoutMs = 50;

signals:
    // A read brought nothing. A device that is gone says so through
    // QIODevice's readChannelFinished() instead: nothing more will come.
    void readTimeOut();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    bool isRunning() const;
    void stopWorker();

    WinSerialDevice *serialDevice;
    WorkerThread *worker;
    DWORD openErrorCode = ERROR_SUCCESS;
    int openSystemError = 0;
};

} // namespace Cv
