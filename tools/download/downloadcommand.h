#pragma once

#include "commandoptions.h"
#include "downloadsession.h"
#include "portselection.h"
#include "progressline.h"
#include "quitrequests.h"

#include <QFile>
#include <QObject>
#include <QTimer>

#include <memory>

class RecordFileStream;

// The window's download, for the console: picks the port, runs a session
// that hands every chunk on as it comes, writes it (converted, if asked) to
// the output, and ends with one of the exit statuses.
class DownloadCommand : public QObject
{
    Q_OBJECT

public:
    explicit DownloadCommand(const CommandOptions &options, QObject *parent = nullptr);
    ~DownloadCommand() override;

    // The download runs in the event loop; finished() tells its end.
    void start();

signals:
    void finished(int status);

private:
    bool openOutput();
    void recordsArrived(qint64 from, const QByteArray &chunk);
    void sessionEnded(DownloadSession::End reason);
    void nothingArrived();
    void interrupted();
    // False once the output failed; end() has been called then.
    bool commitOutput();
    void end(int status, const QString &failure = {});
    QString outputName() const;

    CommandOptions options;
    PortSelection port;
    DownloadSession session;
    QuitRequests quitRequests;
    std::unique_ptr<RecordFileStream> file; // with --output
    QFile standardOutput;                   // without
    ProgressLine progress;
    QTimer waitLimit;
    bool ended = false;
};
