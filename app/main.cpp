#include "commandline.h"
#include "displaycheck.h"
#include "identity.h"
#include "startup.h"

#include <QApplication>
#include <QFileInfo>

#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Answered without a display: a plain application object is enough.
    if (const CommandLineRequest request = commandLineRequest(arguments);
        request != CommandLineRequest::RunWindow) {
        QCoreApplication app(argc, argv);
        setApplicationIdentity();
        answerCommandLine(request);
    }

    if (const QString missing = missingDisplay(arguments); !missing.isEmpty()) {
        std::fprintf(stderr, "%s: %s; --help lists the options\n",
                     qPrintable(QFileInfo(arguments.value(0)).fileName()), qPrintable(missing));
        return 1;
    }

    QApplication app(argc, argv);
    setApplicationIdentity();
    reportIgnoredArguments();
    return runStartupCycles();
}
