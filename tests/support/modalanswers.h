#pragma once

#include "modalguard.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers each modal dialog that comes up while it lives; an answer runs
// inside the dialog's own event loop. A ModalGuard lets every box pass
// meanwhile.
class ModalAnswers : public QObject
{
    ModalGuard::Answerer answerer;

public:
    explicit ModalAnswers(std::function<void(QWidget *)> answer);

    bool shown() const { return !classes.isEmpty(); }
    qsizetype count(const char *className) const { return classes.count(QLatin1String(className)); }

    QStringList classes;
    QStringList texts; // text and informative text of each message box

private:
    std::function<void(QWidget *)> answer;
    QTimer timer;
    QPointer<QWidget> answered;
    QElapsedTimer sinceAnswer;
};

// Answers a file dialog with the path; closes any other dialog.
void chooseFile(QWidget *modal, const QString &path);
// Presses a message box's button; closes any other dialog, or a box without it.
void pressButton(QWidget *modal, QMessageBox::StandardButton which);
