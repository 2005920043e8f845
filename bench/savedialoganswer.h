#pragma once

#include <QObject>
#include <QString>

// Answers the save dialog with a given file as soon as it is shown, and
// notes when that was.
class SaveDialogAnswer : public QObject
{
    Q_OBJECT

public:
    explicit SaveDialogAnswer(const QString &path, QObject *parent = nullptr);

    qint64 shownAtNs() const { return shownAt; }
    int timesShown() const { return shown; }

signals:
    void dialogShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString path;
    qint64 shownAt = 0;
    int shown = 0;
};
