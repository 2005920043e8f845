#include "shownprobe.h"

#include "benchclock.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

ShownProbe::ShownProbe(const QString &resultsPath, QObject *parent)
    : QObject(parent), resultsPath(resultsPath)
{}

bool ShownProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (!seen && event->type() == QEvent::Paint && qobject_cast<QMainWindow *>(watched)) {
        seen = true;
        const qint64 now = monotonicNs();
        writeResults(resultsPath, {{QStringLiteral("shown_ns"), QString::number(now)}});
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
}
