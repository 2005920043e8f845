#include "workerthread.h"

#include "winserialdevice.h"

#include <QElapsedTimer>
#include <QMutexLocker>

#include <cstring>

namespace Cv {

WorkerThread::WorkerThread(WinSerialDevice *device, QObject *parent)
    : QThread(parent), device(device)
{}

WorkerThread::~WorkerThread() = default;

qint64 WorkerThread::takeReceived(char *data, qint64 maxSize)
{
    QMutexLocker locker(&receiveMutex);
    const qsizetype available = receiveBuffer.size() - readOffset;
    const qsizetype n = static_cast<qsizetype>(qBound<qint64>(0, maxSize, available));
    if (n == 0)
        return 0;
    std::memcpy(data, receiveBuffer.constData() + readOffset, static_cast<std::size_t>(n));
    if (n == available) {
        receiveBuffer.clear();
        readOffset = 0;
    } else {
        readOffset += n;
        // A reader that keeps a backlog never empties the buffer; what it
        // took goes once it is half of it, so that the buffer holds the
        // backlog and not the whole transfer. Dropping the front moves no
        // byte; the room is taken again when the buffer next grows.
        if (readOffset >= 64 * 1024 && readOffset >= receiveBuffer.size() / 2) {
            receiveBuffer.remove(0, readOffset);
            readOffset = 0;
        }
    }
    return n;
}

qint64 WorkerThread::receivedCount()
{
    QMutexLocker locker(&receiveMutex);
    return receiveBuffer.size() - readOffset;
}

bool WorkerThread::hasReceivedLine()
{
    QMutexLocker locker(&receiveMutex);
    return receiveBuffer.indexOf('\n', readOffset) >= 0;
}

void WorkerThread::readyReadDelivered()
{
    QMutexLocker locker(&receiveMutex);
    readyReadQueued = false;
}

void WorkerThread::queueTransmit(const char *data, qint64 size)
{
    QMutexLocker locker(&transmitMutex);
    transmitBuffer.append(data, static_cast<qsizetype>(size));
}

void WorkerThread::requestStop()
{
    QMutexLocker locker(&receiveMutex);
    stopRequested = true;
}

void WorkerThread::clearStop()
{
    QMutexLocker locker(&receiveMutex);
    stopRequested = false;
}

void WorkerThread::stopAndWait()
{
    requestStop();
    wait();
    // wait() synchronises inside the toolkit, out of the race detector's
    // sight; taking the lock the loop released last makes its end visible.
    QMutexLocker locker(&receiveMutex);
}

namespace {

bool passGate(QSemaphore &gate, int msecs)
{
    if (!gate.tryAcquire(1, msecs))
        return false;
    gate.release();
    return true;
}

} // namespace

bool WorkerThread::passReadyReadGate(int msecs)
{
    return passGate(readyReadGate, msecs);
}

bool WorkerThread::passBytesWrittenGate(int msecs)
{
    return passGate(bytesWrittenGate, msecs);
}

bool WorkerThread::isStopRequested()
{
    QMutexLocker locker(&receiveMutex);
    return stopRequested;
}

void WorkerThread::run()
{
    // The gates stay closed for the whole run; waiters get through only while
    // the matching signal is being emitted.
    readyReadGate.acquire();
    bytesWrittenGate.acquire();
    {
        QMutexLocker locker(&receiveMutex);
        receiveBuffer.clear();
        readOffset = 0;
        readyReadQueued = false;
    }

    QElapsedTimer readClock;
    char chunk[1024];
    while (!isStopRequested()) {
        sendQueued();

        readClock.start();
        const qint64 count = device->read(chunk, sizeof chunk);
        if (count > 0) {
            bool notify;
            {
                QMutexLocker locker(&receiveMutex);
                receiveBuffer.append(chunk, static_cast<qsizetype>(count));
                notify = !readyReadQueued;
                readyReadQueued = true;
            }
            readyReadGate.release();
            if (notify)
                emit readyRead();
            readyReadGate.acquire();
        }
        if (isStopRequested())
            break;
        // Nothing more will come from a device that is gone; reading on
        // would only fail again every cycle.
        if (count < 0 && WinSerialDevice::isDisconnection(device->lastErrorCode())) {
            emit connectionLost();
            break;
        }
        if (count <= 0) {
            // A failed read comes back at once; waiting out the rest of the
            // time-out keeps the loop from spinning.
            const qint64 rest = qint64(device->readTimeout()) - readClock.elapsed();
            if (rest > 0)
                msleep(static_cast<unsigned long>(rest));
            emit readTimeOut();
        }
    }

    {
        // The loop may end on its own (a lost device) after its last look
        // at the device; the lock taken here is the one stopAndWait() takes
        // after wait(), so all the loop did is visible to whoever goes on
        // with the device.
        QMutexLocker locker(&receiveMutex);
    }
    bytesWrittenGate.release();
    readyReadGate.release();
}

void WorkerThread::sendQueued()
{
    QMutexLocker locker(&transmitMutex);
    qsizetype written = 0;
    while (written < transmitBuffer.size()) {
        const qint64 n =
            device->write(transmitBuffer.constData() + written, transmitBuffer.size() - written);
        if (n < 0)
            break;
        bytesWrittenGate.release();
        emit bytesWritten(n);
        bytesWrittenGate.acquire();
        written += static_cast<qsizetype>(n);
        if (written < transmitBuffer.size() && isStopRequested())
            break;
    }
    // What already went out is dropped, so that no byte goes on the line twice.
    transmitBuffer.remove(0, written);
}

} // namespace Cv
