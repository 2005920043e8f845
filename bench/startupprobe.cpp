// The program's own start-up, as its main() runs it, ended once the window
// has been painted. With --ports it only times one enumeration of the ports,
// the part of the start-up that depends on the machine's devices; with
// --form it shows the window's form in a bare main window and nothing else,
// the least any window with this form costs.
#include "benchclock.h"
#include "identity.h"
#include "portenumerator.h"
#include "shownprobe.h"
#include "startup.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = qEnvironmentVariable("CV_BENCH_OUT");
    if (QCoreApplication::arguments().contains(QLatin1String("--ports"))) {
        QList<PortInfo> ports;
        const qint64 start = monotonicNs();
        enumeratePorts(ports);
        const qint64 took = monotonicNs() - start;
        return writeResults(out, {{QStringLiteral("ports_ns"), QString::number(took)},
                                  {QStringLiteral("ports"), QString::number(ports.size())}})
                   ? 0
                   : 2;
    }
    ShownProbe probe(out);
    app.installEventFilter(&probe);
    if (QCoreApplication::arguments().contains(QLatin1String("--form"))) {
        QMainWindow window;
        Ui::MainWindow form;
        form.setupUi(&window);
        window.show();
        return QApplication::exec();
    }
    setApplicationIdentity();
    return runStartupCycles();
}
