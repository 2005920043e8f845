#include "downloadcommand.h"

#include "connectionfailureadvice.h"
#include "console.h"
#include "germancsv.h"
#include "portenumerator.h"
#include "recordfilestream.h"
#include "writefully.h"

#include <cstdio>

DownloadCommand::DownloadCommand(const CommandOptions &options, QObject *parent)
    : QObject(parent), options(options), progress(!options.quiet, standardErrorIsTerminal())
{
    // The records are written as they come; none are kept in memory.
    session.setKeepRecords(false);
    connect(&session, &DownloadSession::recordsKept, this, &DownloadCommand::recordsArrived);
    connect(&session, &DownloadSession::ended, this, &DownloadCommand::sessionEnded);
    connect(&quitRequests, &QuitRequests::requested, this, &DownloadCommand::interrupted);
    waitLimit.setSingleShot(true);
    // A coarse timer may fire early, and a script was promised the full time.
    waitLimit.setTimerType(Qt::PreciseTimer);
    connect(&waitLimit, &QTimer::timeout, this, &DownloadCommand::nothingArrived);
}

DownloadCommand::~DownloadCommand() = default;

QString DownloadCommand::outputName() const
{
    return options.output.isEmpty() ? QStringLiteral("standard output") : options.output;
}

void DownloadCommand::start()
{
    QList<PortInfo> ports;
    enumeratePorts(ports);
    port = selectPort(ports, options.port);
    if (port.openName.isEmpty()) {
        end(ExitStatus::Usage, port.error);
        return;
    }
    // Before the port: records that could not be written anywhere would be
    // lost with the tester's answer.
    if (!openOutput())
        return;

    if (!session.start(port.openName))
        return; // sessionEnded() has said why
    progress.note(QStringLiteral("Now initiate the download on the tester"));
    if (options.waitMs > 0)
        waitLimit.start(options.waitMs);
}

bool DownloadCommand::openOutput()
{
    if (!options.output.isEmpty()) {
        file = std::make_unique<RecordFileStream>(options.output);
        if (file->open())
            return true;
        end(ExitStatus::OutputFailed,
            QStringLiteral("Cannot write %1: %2").arg(options.output, file->reason()));
        return false;
    }
    prepareStandardOutput();
    // Unbuffered: each chunk reaches the reader as it arrives.
    if (standardOutput.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    end(ExitStatus::OutputFailed,
        QStringLiteral("Cannot write to standard output: %1").arg(standardOutput.errorString()));
    return false;
}

void DownloadCommand::recordsArrived(qint64 from, const QByteArray &chunk)
{
    if (ended)
        return;
    waitLimit.stop();
    // Byte by byte, so it may be done a chunk at a time.
    const QByteArray bytes = options.germanCsv ? toGermanCsv(chunk) : chunk;
    bool written = true;
    QString why;
    if (file) {
        written = file->write(bytes);
        why = file->reason();
    } else {
        written = writeFully(standardOutput, bytes.constData(), bytes.size());
        why = standardOutput.errorString();
    }
    if (!written) {
        session.cancel();
        if (file)
            file->discard();
        end(ExitStatus::OutputFailed,
            QStringLiteral("Cannot write %1: %2. The download was stopped.")
                .arg(outputName(), why));
        return;
    }
    progress.count(from + chunk.size());
}

bool DownloadCommand::commitOutput()
{
    if (!file)
        return true;
    const RecordFileResult result = file->commit();
    if (result.saved)
        return true;
    end(ExitStatus::OutputFailed,
        QStringLiteral("Cannot write %1: %2").arg(options.output, result.reason));
    return false;
}

void DownloadCommand::sessionEnded(DownloadSession::End reason)
{
    if (ended)
        return;
    const QString received = ProgressLine::bytesText(session.bytesReceived());
    switch (reason) {
    case DownloadSession::End::Quiet:
        if (commitOutput()) {
            progress.finish();
            progress.note(QStringLiteral("The transfer is complete: %1 written to %2.")
                              .arg(received, outputName()));
            end(ExitStatus::Complete);
        }
        return;
    case DownloadSession::End::ConnectionLost:
        if (!session.hasData()) {
            end(ExitStatus::ConnectionLost,
                QStringLiteral("The connection to the tester was lost. No records arrived. "
                               "Check that the adapter is plugged in and the tester is "
                               "switched on, then try again."));
            return;
        }
        if (commitOutput()) {
            end(ExitStatus::ConnectionLost,
                QStringLiteral("The connection to the tester was lost. The records received so "
                               "far may be incomplete: %1 written to %2.")
                    .arg(received, outputName()));
        }
        return;
    case DownloadSession::End::SizeLimit:
        if (commitOutput()) {
            end(ExitStatus::SizeLimit,
                QStringLiteral("More than %1 MB arrived without a pause: this is not a tester's "
                               "memory. The download was stopped; %2 written to %3.")
                    .arg(session.sizeLimit() / (1024 * 1024))
                    .arg(received, outputName()));
        }
        return;
    case DownloadSession::End::OpenFailed: {
        QString text = QStringLiteral(
            "Failed to connect. Please check the device is connected and switched on");
        const QString advice = connectionFailureAdvice(session.openFailure(), port.name);
        if (!advice.isEmpty())
            text += QLatin1Char('\n') + advice;
        end(ExitStatus::OpenFailed, text);
        return;
    }
    case DownloadSession::End::Cancelled:
    case DownloadSession::End::None:
        // Cancelled here, by whoever ends the command.
        return;
    }
}

void DownloadCommand::nothingArrived()
{
    if (ended || session.hasData())
        return;
    session.cancel();
    end(ExitStatus::NothingArrived,
        QStringLiteral("Nothing arrived within %1 s of the commands. Check that the transfer was "
                       "started on the tester, and the cable.")
            .arg(options.waitMs / 1000.0));
}

void DownloadCommand::interrupted()
{
    if (ended)
        return;
    session.cancel();
    end(ExitStatus::Interrupted,
        file ? QStringLiteral("Interrupted: nothing was written to %1.").arg(options.output)
             : QStringLiteral("Interrupted."));
}

void DownloadCommand::end(int status, const QString &failure)
{
    if (ended)
        return;
    ended = true;
    waitLimit.stop();
    if (file)
        file->discard();
    progress.finish();
    if (!failure.isEmpty())
        progress.failure(failure);
    emit finished(status);
}
