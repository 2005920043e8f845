#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

namespace Cv {

class WinSerialDevice;

// The loop behind the asynchronous device: sends what is queued, reads the
// port with its short time-out and stores what arrives.
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    WorkerThread(WinSerialDevice *device, QObject *parent);
    ~WorkerThread() override;

    qint64 takeReceived(char *data, qint64 maxSize);
    qint64 receivedCount();
    bool hasReceivedLine();

    // The readyRead() last emitted has reached the reader, which is about to
    // read: bytes stored from now on are notified again.
    void readyReadDelivered();

    // Bytes to go out in the next send phase.
    void queueTransmit(const char *data, qint64 size);

    // The loop ends at its next look at the flag; a run starts only with the
    // flag clear.
    void requestStop();
    void clearStop();
    void stopAndWait();

    // Passing a gate succeeds only while the worker emits the matching
    // signal, or at once while it does not run. The gates are semaphores, not
    // mutexes: they guard no data, and the worker takes them back while
    // holding its other locks, an order in which no mutex may be taken.
    bool passReadyReadGate(int msecs);
    bool passBytesWrittenGate(int msecs);

signals:
    void readyRead();
    void readTimeOut();
    // The device is gone; the loop has ended and reads no more.
    void connectionLost();
    void bytesWritten(qint64 bytes);

protected:
    void run() override;

private:
    bool isStopRequested();
    void sendQueued();

    WinSerialDevice *const device;
    QByteArray receiveBuffer;
    qsizetype readOffset = 0;
    QMutex receiveMutex;
    QSemaphore readyReadGate{1};
    bool stopRequested = false;
    // A readyRead() is on its way and not yet delivered: a fast line stores
    // a chunk every few microseconds, and one notification per chunk would
    // flood the reader's event queue.
    bool readyReadQueued = false;
    QByteArray transmitBuffer;
    QMutex transmitMutex;
    QSemaphore bytesWrittenGate{1};
};

} // namespace Cv
