#include "winserialdeviceasync.h"

#include "serialportsettings.h"
#include "winserialdevice.h"
#include "workerthread.h"

#include <QMetaMethod>

namespace Cv {

WinSerialDeviceAsync::WinSerialDeviceAsync(QObject *parent, const QString &portName)
    : QIODevice(parent)
    , serialDevice(new WinSerialDevice(portName))
    , worker(new WorkerThread(serialDevice, this))
{
    connect(worker, &WorkerThread::readyRead, this, [this] {
        worker->readyReadDelivered();
        emit readyRead();
    });
    // The worker has stopped reading a device that is gone: what is stored
    // is all there will be.
    connect(worker, &WorkerThread::connectionLost, this, &QIODevice::readChannelFinished);
    connect(worker, &WorkerThread::bytesWritten, this, &QIODevice::bytesWritten);
}

WinSerialDeviceAsync::~WinSerialDeviceAsync()
{
    if (isRunning())
        stopWorker();
    delete serialDevice;
}

void WinSerialDeviceAsync::setSettings(SerialPortSettings *settings)
{
    serialDevice->setSettings(settings);
}

void WinSerialDeviceAsync::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&WinSerialDeviceAsync::readTimeOut) && !readTimeOutRelay)
        readTimeOutRelay =
            connect(worker, &WorkerThread::readTimeOut, this, &WinSerialDeviceAsync::readTimeOut);
}

void WinSerialDeviceAsync::disconnectNotify(const QMetaMethod &)
{
    // An invalid method stands for several signals at once: look again.
    if (readTimeOutRelay &&
        !isSignalConnected(QMetaMethod::fromSignal(&WinSerialDeviceAsync::readTimeOut))) {
        disconnect(readTimeOutRelay);
        readTimeOutRelay = {};
    }
}

bool WinSerialDeviceAsync::isSequential() const
{
    return true;
}

// Running from a successful open until close(): the worker may have ended on
// its own when the device went away, but the port stays open until then.
bool WinSerialDeviceAsync::isRunning() const
{
    return isOpen() || worker->isRunning();
}

bool WinSerialDeviceAsync::open(OpenMode mode)
{
    if (isRunning())
        return false;
    if (!serialDevice->open(mode, readTimeoutMs, writeTimeoutMs)) {
        openErrorCode = serialDevice->lastErrorCode();
        openSystemError = serialDevice->lastSystemError();
        setErrorString(serialDevice->errorString());
        return false;
    }
    // Cleared here rather than in the worker, so that a close() right after
    // this open always finds its request honoured.
    worker->clearStop();
    worker->start(QThread::InheritPriority);
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

void WinSerialDeviceAsync::close()
{
    if (!isRunning())
        return;
    stopWorker();
}

void WinSerialDeviceAsync::stopWorker()
{
    QIODevice::close();
    worker->stopAndWait();
    serialDevice->close();
}

bool WinSerialDeviceAsync::atEnd() const
{
    return worker->receivedCount() == 0;
}

qint64 WinSerialDeviceAsync::bytesAvailable() const
{
    return worker->receivedCount();
}

bool WinSerialDeviceAsync::canReadLine() const
{
    return worker->hasReceivedLine();
}

bool WinSerialDeviceAsync::waitForReadyRead(int msecs)
{
    return worker->passReadyReadGate(msecs);
}

bool WinSerialDeviceAsync::waitForBytesWritten(int msecs)
{
    return worker->passBytesWrittenGate(msecs);
}

qint64 WinSerialDeviceAsync::readData(char *data, qint64 maxSize)
{
    return worker->takeReceived(data, maxSize);
}

qint64 WinSerialDeviceAsync::writeData(const char *data, qint64 maxSize)
{
    worker->queueTransmit(data, maxSize);
    // What goes out is reported through bytesWritten() by the worker.
    return 0;
}

} // namespace Cv
