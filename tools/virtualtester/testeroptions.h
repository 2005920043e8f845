#pragma once

#include <QString>
#include <QStringList>

// What the tester is told on its command line.
struct TesterOptions
{
    QString recordsFile;
    QStringList command; // empty: only set up the line and serve whoever opens it
    QString line;        // empty: the test bed; "pty": a new pseudo-terminal; else a terminal
    QString programPort; // the far end of `line`, for the program
    int delayMs = 3000;
    bool unpaced = false;
    qint64 bytesPerSecond = 960;
    qint64 pauseEvery = 0;
    int pauseMs = 0;
    bool repeat = false;
    qint64 pullOutAfter = -1;
    int timeoutMs = 0;
    int settleMs = 300;
    // After a pull-out, or without --pull-out-after after the start (the
    // adapter is out until then); negative: the adapter stays as it is.
    int plugInAfterMs = -1;
    int pullOutIdleAfterMs = -1; // after an answered download, while the line is idle

    // Fills `options` from the arguments (program name first). Returns false
    // with a message in `error`, or with an empty `error` after --help.
    static bool parse(const QStringList &arguments, const QString &defaultRecords,
                      TesterOptions *options, QString *error, QString *help);
};
