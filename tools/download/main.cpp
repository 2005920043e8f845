// velmora-download: the window's download from a script.

#include "commandoptions.h"
#include "downloadcommand.h"
#include "portenumerator.h"
#include "portselection.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-download"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CV_VERSION));
    // The serial device's traces are for developers (QT_LOGGING_RULES brings
    // them back); scripts read standard error.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    const CommandOptions options = CommandOptions::parse(QCoreApplication::arguments());
    switch (options.action) {
    case CommandOptions::Action::Help:
        print(stdout, CommandOptions::helpText());
        return ExitStatus::Complete;
    case CommandOptions::Action::Version:
        print(stdout, QStringLiteral("velmora-download %1\n").arg(QStringLiteral(CV_VERSION)));
        return ExitStatus::Complete;
    case CommandOptions::Action::Invalid:
        print(stderr, QStringLiteral("velmora-download: %1\nTry 'velmora-download --help'.\n")
                          .arg(options.error));
        return ExitStatus::Usage;
    case CommandOptions::Action::List: {
        QList<PortInfo> ports;
        enumeratePorts(ports);
        if (ports.isEmpty())
            print(stderr, QStringLiteral("No serial port found: check cable, power and driver.\n"));
        print(stdout, portListing(ports));
        return ExitStatus::Complete;
    }
    case CommandOptions::Action::Download:
        break;
    }

    DownloadCommand command(options);
    QObject::connect(&command, &DownloadCommand::finished, &app,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &command, &DownloadCommand::start);
    return QCoreApplication::exec();
}
