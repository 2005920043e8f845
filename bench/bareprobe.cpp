// The reference for start-up: a bare main window and nothing else, or with
// --text one line of text in it, which sets up the fonts as any real window
// must.
#include "shownprobe.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ShownProbe probe(qEnvironmentVariable("CV_BENCH_OUT"));
    app.installEventFilter(&probe);
    QMainWindow window;
    if (QCoreApplication::arguments().contains(QLatin1String("--text")))
        window.setCentralWidget(new QLabel(QStringLiteral("Corvane Velmora")));
    window.show();
    return QApplication::exec();
}
