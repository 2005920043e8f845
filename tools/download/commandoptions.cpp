#include "commandoptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("The port as the program's window lists it (ttyUSB0, "
                                           "COM5), or its open name (/dev/ttyUSB0, \\\\.\\COM5). "
                                           "Default: the only port present."),
                            QStringLiteral("NAME")};
    QCommandLineOption output{QStringLiteral("output"),
                              QStringLiteral("Write the records to FILE, complete or not at all: "
                                             "an existing file is replaced only by a complete "
                                             "download. Default: standard output."),
                              QStringLiteral("FILE")};
    QCommandLineOption germanCsv{QStringLiteral("german-csv"),
                                 QStringLiteral("Convert to the German CSV number format: every "
                                                "\",\" becomes \";\", then every \".\" becomes "
                                                "\",\".")};
    QCommandLineOption wait{QStringLiteral("wait"),
                            QStringLiteral("Give up when nothing has arrived SECONDS after the "
                                           "commands went out. Default: wait until the records "
                                           "come or the command is interrupted."),
                            QStringLiteral("SECONDS")};
    QCommandLineOption quiet{QStringLiteral("quiet"),
                             QStringLiteral("No progress on standard error, only failures.")};
    QCommandLineOption list{QStringLiteral("list"),
                            QStringLiteral("List the ports present, one a line: name, adapter, "
                                           "bus and VID:PID.")};
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();

    Parser() { parser.addOptions({port, output, germanCsv, wait, quiet, list}); }
};

} // namespace

CommandOptions CommandOptions::parse(const QStringList &arguments)
{
    Parser p;
    CommandOptions options;
    const auto invalid = [&options](const QString &error) {
        options.action = Action::Invalid;
        options.error = error;
        return options;
    };
    if (!p.parser.parse(arguments))
        return invalid(p.parser.errorText());
    if (!p.parser.positionalArguments().isEmpty()) {
        return invalid(QStringLiteral("Unexpected argument '%1'.")
                           .arg(p.parser.positionalArguments().constFirst()));
    }
    if (p.parser.isSet(p.help)) {
        options.action = Action::Help;
        return options;
    }
    if (p.parser.isSet(p.version)) {
        options.action = Action::Version;
        return options;
    }
    if (p.parser.isSet(p.list)) {
        options.action = Action::List;
        return options;
    }
    options.port = p.parser.value(p.port);
    options.output = p.parser.value(p.output);
    options.germanCsv = p.parser.isSet(p.germanCsv);
    options.quiet = p.parser.isSet(p.quiet);
    if (p.parser.isSet(p.port) && options.port.isEmpty())
        return invalid(QStringLiteral("--port wants a port name."));
    if (p.parser.isSet(p.output) && options.output.isEmpty())
        return invalid(QStringLiteral("--output wants a file name."));
    if (p.parser.isSet(p.wait)) {
        bool ok = false;
        const double seconds = p.parser.value(p.wait).toDouble(&ok);
        // A day at most: beyond that a tester is not coming.
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 86400) {
            return invalid(QStringLiteral("--wait wants a number of seconds, not '%1'.")
                               .arg(p.parser.value(p.wait)));
        }
        options.waitMs = qMax(1, int(std::lround(seconds * 1000)));
    }
    return options;
}

QString CommandOptions::helpText()
{
    Parser p;
    // The parser's own usage line says only "[options]".
    const QString generated = p.parser.helpText();
    return QStringLiteral(R"(Usage: velmora-download [--port NAME] [--output FILE] [--german-csv]
                        [--wait SECONDS] [--quiet]
       velmora-download --list
       velmora-download --help | --version

Downloads the stored records of a photovoltaic installation tester over a
serial port, as the Corvane Velmora window does: opens the port at 9600 baud
8N1, sends the download commands and writes what arrives until the line has
been quiet for a second. Start the transfer on the tester when asked to.

)") + generated.mid(generated.indexOf(QLatin1String("Options:"))) +
           QStringLiteral(R"(
Progress goes to standard error: the request to start the transfer on the
tester, then the byte count.

Exit status:
  0    the records arrived completely (the line fell quiet after them)
  1    usage: an unknown option, or no port given and none or several present
  2    the port could not be opened; the message says why
  3    the connection was lost (adapter pulled out, tester switched off): what
       arrived is written, but may be incomplete
  4    nothing arrived within --wait
  5    the records could not be written (an existing file is left as it was)
  6    more than 64 MB arrived without a pause: no tester's memory holds that
       much, so the line is not a tester's download; what arrived is written
  130  interrupted (Ctrl+C, SIGTERM, Ctrl+Break or the console closed): nothing
       is written to --output, the port is released
)");
}
