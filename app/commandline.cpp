#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

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

QStringList leftoverArguments(const QStringList &arguments)
{
    Parser p;
    p.parser.parse(arguments);
    const QStringList unknown = p.parser.unknownOptionNames();
    const QStringList positional = p.parser.positionalArguments();
    QStringList leftovers;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString name = argument;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        name = name.section(QLatin1Char('='), 0, 0);
        const bool option = argument.startsWith(QLatin1Char('-')) && unknown.contains(name);
        if (option || positional.contains(argument))
            leftovers << argument;
    }
    return leftovers;
}

void reportIgnoredArguments()
{
    const QStringList leftovers = leftoverArguments(QCoreApplication::arguments());
    if (leftovers.isEmpty())
        return;
    std::fprintf(stderr, "corvane-velmora: ignoring \"%s\"; see --help\n",
                 qPrintable(leftovers.join(QStringLiteral("\" \""))));
}
