#include "testeroptions.h"
#include "virtualtester.h"

#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-virtual-tester"));
    // A program that closes the line while we write must not end the tester.
    std::signal(SIGPIPE, SIG_IGN);

    const QString sample =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sample-records.csv"));
    TesterOptions options;
    QString error;
    QString help;
    if (!TesterOptions::parse(QCoreApplication::arguments(), sample, &options, &error, &help)) {
        if (!help.isEmpty()) {
            std::fputs(help.toLocal8Bit().constData(), stdout);
            return 0;
        }
        std::fprintf(stderr, "velmora-virtual-tester: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    VirtualTester tester(options);
    return tester.run();
}
