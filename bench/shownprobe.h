#pragma once

#include <QObject>
#include <QString>

// Notes the moment the first main window is painted, writes it to a results
// file and ends the event loop: the end of a start-up.
class ShownProbe : public QObject
{
    Q_OBJECT

public:
    explicit ShownProbe(const QString &resultsPath, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString resultsPath;
    bool seen = false;
};
