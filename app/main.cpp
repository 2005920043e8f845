#include "commandline.h"
#include "identity.h"
#include "startup.h"

#include <QApplication>

#include <QStringList>

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

    QApplication app(argc, argv);
    setApplicationIdentity();
    reportIgnoredArguments();
    return runStartupCycles();
}
