#include "modalguard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>

namespace {
int answerers = 0;
}

ModalGuard::ModalGuard(const QStringList &expectedTexts) : expected(expectedTexts)
{
    QCoreApplication::instance()->installEventFilter(this);
}

ModalGuard::~ModalGuard()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

ModalGuard::Answerer::Answerer()
{
    ++answerers;
}

ModalGuard::Answerer::~Answerer()
{
    --answerers;
}

bool ModalGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && answerers == 0) {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && box->isModal() && !expected.contains(box->text())) {
            // qFatal, not QFAIL: the test function is deep in a wait that a
            // failure recorded here would not end.
            qFatal("unexpected message box: \"%s\" \"%s\"", qPrintable(box->text()),
                   qPrintable(box->informativeText()));
        }
    }
    return QObject::eventFilter(watched, event);
}
