#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();

    Parser()
    {
        // Not translated: it is printed before any catalogue is loaded.
        parser.setApplicationDescription(
            QStringLiteral("Downloads the stored records of a photovoltaic installation tester "
                           "over a serial port and saves them to a file."));
        // The toolkit's own options are single-dash words (-style, -reverse):
        // read as compacted letters, -reverse would be taken for -v.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    }
};

} // namespace

CommandLineRequest commandLineRequest(const QStringList &arguments)
{
    Parser p;
    // The toolkit's options are still among the arguments here; they make the
    // parse fail, which is of no concern until the toolkit has had them.
    p.parser.parse(arguments);
    if (p.parser.isSet(p.help))
        return CommandLineRequest::ShowHelp;
    if (p.parser.isSet(p.version))
        return CommandLineRequest::ShowVersion;
    return CommandLineRequest::RunWindow;
}

void answerCommandLine(CommandLineRequest request)
{
    Parser p;
    p.parser.parse(QCoreApplication::arguments());
    if (request == CommandLineRequest::ShowVersion)
        p.parser.showVersion();
    p.parser.showHelp(0);
}

void refuseUnknownArguments()
{
    Parser p;
    // Exits with a message on unknown options and on positional arguments.
    p.parser.process(QCoreApplication::arguments());
    if (!p.parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "corvane-velmora: unexpected argument \"%s\"; see --help\n",
                     qPrintable(p.parser.positionalArguments().constFirst()));
        std::exit(1);
    }
}
