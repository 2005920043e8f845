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
//
// readyRead() is coalesced: it says that bytes are waiting, not that one read
// of the port brought them. While one notification is on its way to this
// device's thread, further reads add to the waiting bytes without another;
// the next comes for bytes stored after this device re-emitted the last one.
// A reader that takes less than bytesAvailable() is therefore not notified
// again for the rest, and reads it in its own time.
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
    // Returns once the worker emits readyRead() within msecs, at once while
    // it does not run. Since notifications are coalesced, the worker may
    // store several reads' worth before and after the one that let the
    // caller pass: read bytesAvailable(), not one read's size.
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
    // Relayed from the worker only while something is connected to it, so
    // that a device nobody asks about a quiet line does not wake its thread
    // twenty times a second.
    void readTimeOut();

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    bool isRunning() const;
    void stopWorker();

    WinSerialDevice *serialDevice;
    WorkerThread *worker;
    DWORD openErrorCode = ERROR_SUCCESS;
    int openSystemError = 0;
    QMetaObject::Connection readTimeOutRelay;
};

} // namespace Cv
