#include "testeroptions.h"

#include "commandcheck.h"
#include "downloadline.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

bool toMilliseconds(const QString &text, int *ms)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 86400)
        return false;
    *ms = int(std::lround(seconds * 1000));
    return true;
}

bool toCount(const QString &text, qint64 min, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < min)
        return false;
    *value = v;
    return true;
}

} // namespace

bool TesterOptions::parse(const QStringList &arguments, const QString &defaultRecords,
                          TesterOptions *options, QString *error, QString *help)
{
    QCommandLineParser parser;
    QStringList commands;
    for (const QByteArray &command : Cv::downloadCommands())
        commands << CommandCheck::escaped(command);
    parser.setApplicationDescription(
        QStringLiteral(
            "Stands in for a PV installation tester on a virtual USB serial adapter (ttyUSB0).\n"
            "Runs COMMAND through umockdev-wrapper so that it sees the adapter, waits for\n"
            "%1, then sends the records file like a\n"
            "9600-baud 8N1 line and falls silent. Without COMMAND it prints the bed's\n"
            "UMOCKDEV_DIR and serves whoever opens the port until it is interrupted.\n"
            "COMMAND finds the port to open in CV_TESTER_PORT. With --line the tester serves\n"
            "on a terminal instead, without a bed; COMMAND then runs as it is, and without\n"
            "COMMAND the tester prints CV_TESTER_PORT when it knows the port.")
            .arg(commands.join(QStringLiteral(" and "))));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    const QCommandLineOption records(
        {QStringLiteral("r"), QStringLiteral("records")},
        QStringLiteral("Records file to send (default: the sample beside the tool)."),
        QStringLiteral("FILE"), defaultRecords);
    const QCommandLineOption delay(
        {QStringLiteral("d"), QStringLiteral("delay")},
        QStringLiteral("Seconds between the commands and the transfer, standing for the "
                       "technician starting it on the tester; Enter in the terminal starts "
                       "it at once (default 3)."),
        QStringLiteral("SECONDS"), QStringLiteral("3"));
    const QCommandLineOption unpaced({QStringLiteral("u"), QStringLiteral("unpaced")},
                                     QStringLiteral("Send as fast as the port takes the bytes."));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Bytes per second on the line (default 960, "
                                                 "9600 baud 8N1)."),
                                  QStringLiteral("BYTES"), QStringLiteral("960"));
    const QCommandLineOption pauseEvery(QStringLiteral("pause-every"),
                                        QStringLiteral("Pause the line after every BYTES bytes."),
                                        QStringLiteral("BYTES"));
    const QCommandLineOption pauseMs(QStringLiteral("pause-ms"),
                                     QStringLiteral("Length of each pause (default 500)."),
                                     QStringLiteral("MS"), QStringLiteral("500"));
    const QCommandLineOption repeat(QStringLiteral("repeat"),
                                    QStringLiteral("Answer every new pair of commands, not "
                                                   "only the first; one that comes during a "
                                                   "transfer cuts that transfer short."));
    const QCommandLineOption pullOut(QStringLiteral("pull-out-after"),
                                     QStringLiteral("Unplug the adapter after sending BYTES "
                                                    "bytes of the records."),
                                     QStringLiteral("BYTES"));
    const QCommandLineOption plugIn(QStringLiteral("plug-in-after"),
                                    QStringLiteral("Plug the adapter in again SECONDS after "
                                                   "pulling it out (with --repeat, to answer "
                                                   "the next download); without "
                                                   "--pull-out-after the adapter is out at the "
                                                   "start and plugged in SECONDS later."),
                                    QStringLiteral("SECONDS"));
    const QCommandLineOption line(
        QStringLiteral("line"),
        QStringLiteral("Serve on the terminal PATH instead of the test bed: a pseudo-terminal's "
                       "slave, one end of a null-modem pair (socat), a serial port with a "
                       "cable to the program's machine. \"pty\" makes a new pseudo-terminal "
                       "pair: the tester serves on its master and the program opens its slave "
                       "(CV_TESTER_PORT); --pull-out-after then hangs the line up."),
        QStringLiteral("PATH|pty"));
    const QCommandLineOption programPort(
        QStringLiteral("program-port"),
        QStringLiteral("With --line PATH: the other end of PATH, which the program opens "
                       "(given to it as CV_TESTER_PORT; without it the variable is not set)."),
        QStringLiteral("PORT"));
    const QCommandLineOption pullOutIdle(QStringLiteral("pull-out-idle-after"),
                                         QStringLiteral("Unplug the adapter SECONDS after a "
                                                        "download has been answered, if no new "
                                                        "one has begun by then."),
                                         QStringLiteral("SECONDS"));
    const QCommandLineOption settle(QStringLiteral("settle"),
                                    QStringLiteral("Quiet time after the commands before the "
                                                   "tester answers them (default 0.3)."),
                                    QStringLiteral("SECONDS"), QStringLiteral("0.3"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Give up after SECONDS (0: never)."),
                                     QStringLiteral("SECONDS"), QStringLiteral("0"));
    parser.addOptions({helpOption, records, delay, unpaced, rate, pauseEvery, pauseMs, repeat,
                       pullOut, plugIn, pullOutIdle, line, programPort, settle, timeout});
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("The program to run, with its arguments."),
                                 QStringLiteral("[--] [COMMAND [ARG...]]"));

    error->clear();
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption)) {
        *help = parser.helpText();
        return false;
    }

    TesterOptions o;
    o.recordsFile = parser.value(records);
    o.command = parser.positionalArguments();
    o.unpaced = parser.isSet(unpaced);
    o.repeat = parser.isSet(repeat);
    if (!toMilliseconds(parser.value(delay), &o.delayMs)) {
        *error = QStringLiteral("--delay wants seconds, not \"%1\"").arg(parser.value(delay));
        return false;
    }
    if (!toMilliseconds(parser.value(timeout), &o.timeoutMs)) {
        *error = QStringLiteral("--timeout wants seconds, not \"%1\"").arg(parser.value(timeout));
        return false;
    }
    if (!toCount(parser.value(rate), 1, &o.bytesPerSecond)) {
        *error = QStringLiteral("--rate wants a positive number of bytes per second");
        return false;
    }
    if (parser.isSet(pauseEvery) && !toCount(parser.value(pauseEvery), 1, &o.pauseEvery)) {
        *error = QStringLiteral("--pause-every wants a positive number of bytes");
        return false;
    }
    qint64 pause = 0;
    if (!toCount(parser.value(pauseMs), 0, &pause) || pause > 3600 * 1000) {
        *error = QStringLiteral("--pause-ms wants milliseconds");
        return false;
    }
    o.pauseMs = int(pause);
    if (parser.isSet(pullOut) && !toCount(parser.value(pullOut), 0, &o.pullOutAfter)) {
        *error = QStringLiteral("--pull-out-after wants a number of bytes");
        return false;
    }
    if (parser.isSet(pullOutIdle) &&
        !toMilliseconds(parser.value(pullOutIdle), &o.pullOutIdleAfterMs)) {
        *error = QStringLiteral("--pull-out-idle-after wants seconds, not \"%1\"")
                     .arg(parser.value(pullOutIdle));
        return false;
    }
    if (parser.isSet(plugIn)) {
        if (!toMilliseconds(parser.value(plugIn), &o.plugInAfterMs)) {
            *error = QStringLiteral("--plug-in-after wants seconds, not \"%1\"")
                         .arg(parser.value(plugIn));
            return false;
        }
    }
    o.line = parser.value(line);
    o.programPort = parser.value(programPort);
    if (parser.isSet(line)) {
        const bool pty = o.line == QStringLiteral("pty");
        if (o.line.isEmpty()) {
            *error = QStringLiteral("--line wants a terminal's path or \"pty\"");
            return false;
        }
        if (pty && parser.isSet(programPort)) {
            *error = QStringLiteral("--line pty names the program's port itself");
            return false;
        }
        if (!pty && (parser.isSet(pullOut) || parser.isSet(pullOutIdle))) {
            *error = QStringLiteral("pulling out needs the test bed or --line pty: the far "
                                    "end of %1 cannot be hung up from here")
                         .arg(o.line);
            return false;
        }
        if (parser.isSet(plugIn)) {
            *error = QStringLiteral("--plug-in-after needs the test bed: a line that was hung up "
                                    "does not come back");
            return false;
        }
    } else if (parser.isSet(programPort)) {
        *error = QStringLiteral("--program-port needs --line PATH");
        return false;
    }
    if (parser.isSet(programPort) && o.programPort.isEmpty()) {
        *error = QStringLiteral("--program-port wants a path");
        return false;
    }
    if (!toMilliseconds(parser.value(settle), &o.settleMs)) {
        *error = QStringLiteral("--settle wants seconds, not \"%1\"").arg(parser.value(settle));
        return false;
    }
    *options = o;
    return true;
}
