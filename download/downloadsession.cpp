#include "downloadsession.h"

#include "downloadline.h"
#include "winserialdeviceasync.h"

DownloadSession::DownloadSession(QObject *parent)
    : QObject(parent), quietLine(quietTimeMs, int(Cv::WinSerialDeviceAsync::readTimeoutMs))
{}

// A running device is a child: deleted with the session, which stops its worker.
DownloadSession::~DownloadSession() = default;

bool DownloadSession::start(const QString &openName)
{
    if (device)
        return false;
    kept.clear();
    received = 0;
    lastEnd = End::None;
    failure = {};
    quietLine.bytesArrived();

    device = new Cv::WinSerialDeviceAsync(this, openName);
    device->setSettings(Cv::downloadLineSettings());
    if (!device->open(QIODevice::ReadWrite)) {
        failure =
            Cv::describeOpenFailure(openName, device->lastErrorCode(), device->lastSystemError());
        delete device;
        device = nullptr;
        lastEnd = End::OpenFailed;
        emit openFailed(failure);
        emit ended(lastEnd);
        return false;
    }
    // The quiet line is listened to only once records came: until then the
    // window may wait for hours, and should sleep meanwhile.
    connect(device, &QIODevice::readyRead, this, &DownloadSession::readDevice);
    connect(device, &QIODevice::readChannelFinished, this, &DownloadSession::deviceGone);
    for (const QByteArray &command : Cv::downloadCommands())
        device->write(command);
    return true;
}

void DownloadSession::cancel()
{
    if (device)
        finish(End::Cancelled);
}

void DownloadSession::adoptRecords(const QByteArray &records)
{
    if (device)
        return;
    kept.clear();
    kept.append(records);
    received = records.size();
    lastEnd = End::None;
}

void DownloadSession::readDevice()
{
    if (!device)
        return;
    // What waits now, not what keeps coming while it is read: reading all
    // would chase a fast line and hold the thread for the whole transfer.
    // A backlog is taken in pieces, one a turn, so that no turn copies
    // megabytes; the device notifies again only once it has been read.
    constexpr qint64 maxTake = 256 * 1024;
    const qint64 waiting = device->bytesAvailable();
    if (waiting > maxTake)
        QMetaObject::invokeMethod(this, &DownloadSession::readDevice, Qt::QueuedConnection);
    const QByteArray chunk = device->read(qMin(waiting, maxTake));
    // Each notification stands for a read that brought bytes, in the order
    // of the reads, even when an earlier one took them already.
    quietLine.bytesArrived();
    if (chunk.isEmpty())
        return;

    const qint64 from = received;
    if (from == 0)
        connect(device, &Cv::WinSerialDeviceAsync::readTimeOut, this,
                &DownloadSession::readTimedOut);
    received += chunk.size();
    if (keepRecords)
        kept.append(chunk);
    emit recordsKept(from, chunk);
    if (device && limit > 0 && received > limit)
        finish(End::SizeLimit);
}

void DownloadSession::readTimedOut()
{
    if (!device || received == 0 || !quietLine.readTimedOut())
        return;
    if (quietEndGate && !quietEndGate())
        return;
    finish(End::Quiet);
}

// The adapter was pulled out or the tester switched off: what the worker
// stored is read first, then the download ends, not as if the transfer had
// come to its end.
void DownloadSession::deviceGone()
{
    while (device && device->bytesAvailable() > 0)
        readDevice();
    if (device)
        finish(End::ConnectionLost);
}

void DownloadSession::finish(End reason)
{
    // This may run inside the device's own notification, so the device goes
    // only when control is back in the event loop.
    device->close();
    disconnect(device, nullptr, this, nullptr);
    device->deleteLater();
    device = nullptr;
    lastEnd = reason;
    switch (reason) {
    case End::Quiet:
        emit quietEnd();
        break;
    case End::ConnectionLost:
        emit connectionLost();
        break;
    case End::SizeLimit:
        emit sizeLimitReached();
        break;
    case End::None:
    case End::Cancelled:
    case End::OpenFailed:
        break;
    }
    emit ended(reason);
}
