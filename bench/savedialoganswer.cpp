#include "savedialoganswer.h"

#include "benchclock.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

SaveDialogAnswer::SaveDialogAnswer(const QString &path, QObject *parent)
    : QObject(parent), path(path)
{}

bool SaveDialogAnswer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show)
        return QObject::eventFilter(watched, event);
    auto *dialog = qobject_cast<QFileDialog *>(watched);
    if (!dialog)
        return QObject::eventFilter(watched, event);
    shownAt = monotonicNs();
    ++shown;
    emit dialogShown();
    // Answered from the dialog's own event loop, once it runs.
    QPointer<QFileDialog> guard(dialog);
    QTimer::singleShot(0, this, [this, guard] {
        if (!guard)
            return;
        const QFileInfo target(path);
        guard->setDirectory(target.absolutePath());
        if (auto *name = guard->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(target.fileName());
        else
            guard->selectFile(path);
        QMetaObject::invokeMethod(guard, "accept", Qt::QueuedConnection);
    });
    return QObject::eventFilter(watched, event);
}
