#pragma once

#include <QString>
#include <QStringList>

// The statuses scripts rely on; --help, the manual page and the README list
// them.
enum ExitStatus {
    Complete = 0,
    Usage = 1,
    OpenFailed = 2,
    ConnectionLost = 3,
    NothingArrived = 4,
    OutputFailed = 5,
    SizeLimit = 6,
    Interrupted = 130,
};

// What the command line asks for.
struct CommandOptions
{
    enum class Action { Download, List, Help, Version, Invalid };

    Action action = Action::Download;
    QString port;   // empty: the only port present
    QString output; // empty: standard output
    bool germanCsv = false;
    int waitMs = 0; // 0: wait until records come or the user interrupts
    bool quiet = false;
    QString error; // for Invalid: what was wrong

    static CommandOptions parse(const QStringList &arguments);
    static QString helpText();
};
