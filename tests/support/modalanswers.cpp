#include "modalanswers.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

ModalAnswers::ModalAnswers(std::function<void(QWidget *)> answer) : answer(std::move(answer))
{
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        // A dialog still up a while after its answer did not take it (a file
        // dialog busy reading its folder): answer it again.
        if (modal == answered.data() && sinceAnswer.elapsed() < 500)
            return;
        if (modal != answered.data()) {
            classes << QString::fromLatin1(modal->metaObject()->className());
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                texts << box->text() << box->informativeText();
        }
        answered = modal;
        sinceAnswer.start();
        this->answer(modal);
    });
    timer.start();
}

void chooseFile(QWidget *modal, const QString &path)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (!dialog) {
        modal->close();
        return;
    }
    // The name goes into the name field itself: selectFile() of a path in
    // another folder races with the dialog reading that folder.
    const QFileInfo target(path);
    dialog->setDirectory(target.absolutePath());
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(target.fileName());
    else
        dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

void pressButton(QWidget *modal, QMessageBox::StandardButton which)
{
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (box && box->button(which))
        box->button(which)->click();
    else
        modal->close();
}
