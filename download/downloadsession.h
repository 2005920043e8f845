#pragma once

#include "openfailure.h"
#include "quietline.h"
#include "recordblocks.h"

#include <QObject>
#include <QString>

#include <functional>

namespace Cv {
class WinSerialDeviceAsync;
} // namespace Cv

// One download, without a window: opens the port with the download's line
// settings, sends the commands, keeps (or hands on) what arrives, and ends
// when the line falls quiet after the records, when the device goes away,
// past the size limit, or on cancel(). Everything happens in the thread the
// session lives in; the device's worker only reads the port.
//
// Each end is told by its own signal and then by ended(). The device is
// closed before any of them and deleted from the event loop, so nothing it
// still has queued reaches anyone afterwards; the records stay until the
// next start().
class DownloadSession : public QObject
{
    Q_OBJECT

public:
    enum class End {
        None,           // not ended yet, or never started
        Quiet,          // the line fell quiet after the records: the transfer is over
        Cancelled,      // cancel()
        ConnectionLost, // the device went away
        OpenFailed,     // the port would not open: openFailure() says why
        SizeLimit,      // more than sizeLimit() bytes arrived
    };
    Q_ENUM(End)

    // A tester may pause between blocks, and a busy machine may hold bytes
    // back for a while; a transfer is over only after this long without a
    // byte. The help pages, the README and the benchmark say the same.
    static constexpr int quietTimeMs = 1000;
    // A tester's memory holds a few megabytes. A line that sends far more
    // than that without a pause is a device in some other mode or a fault,
    // and would otherwise fill the machine's memory.
    static constexpr qint64 defaultSizeLimit = 64 * 1024 * 1024;

    explicit DownloadSession(QObject *parent = nullptr);
    ~DownloadSession() override;

    // Opens the port (an openName of the port list) and sends the commands.
    // False when it would not open; openFailed() has been emitted then.
    // The records of the previous download go.
    bool start(const QString &openName);
    // Ends a running download; the records so far stay.
    void cancel();

    bool isRunning() const { return device != nullptr; }
    End endReason() const { return lastEnd; }
    // Bytes arrived in this download, kept or not.
    bool hasData() const { return received > 0; }
    qint64 bytesReceived() const { return received; }
    qint64 bytesKept() const { return kept.size(); }
    const RecordBlocks &records() const { return kept; }
    int quietTime() const { return quietTimeMs; }
    const Cv::OpenFailure &openFailure() const { return failure; }

    // Off: the records are only handed on through recordsKept(), for a
    // consumer that writes them away and keeps its memory flat.
    void setKeepRecords(bool keep) { keepRecords = keep; }
    // Zero: no limit.
    void setSizeLimit(qint64 bytes) { limit = bytes; }
    qint64 sizeLimit() const { return limit; }
    // Asked when the line has been quiet for the quiet time; while it says
    // no (a consumer still busy with what came), the end waits for the next
    // quiet read.
    void setQuietEndGate(std::function<bool()> mayEnd) { quietEndGate = std::move(mayEnd); }

    // Records that did not come from the line (recovered ones), kept as if
    // a download had just brought them. Not while running.
    void adoptRecords(const QByteArray &records);

signals:
    // chunk arrived and was kept (if keeping) from byte offset `from` of the
    // download on. Receivers may cancel().
    void recordsKept(qint64 from, const QByteArray &chunk);
    void quietEnd();
    void connectionLost();
    void openFailed(const Cv::OpenFailure &failure);
    void sizeLimitReached();
    void ended(DownloadSession::End reason);

private:
    void readDevice();
    void readTimedOut();
    void deviceGone();
    void finish(End reason);

    Cv::WinSerialDeviceAsync *device = nullptr; // a child while running
    RecordBlocks kept;
    qint64 received = 0;
    bool keepRecords = true;
    qint64 limit = defaultSizeLimit;
    QuietLine quietLine;
    std::function<bool()> quietEndGate;
    End lastEnd = End::None;
    Cv::OpenFailure failure;
};
