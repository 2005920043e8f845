#pragma once

#include <QObject>

#include <memory>

// Requests from the system to end the program, delivered in the GUI thread as
// requested(): SIGTERM, SIGINT and SIGHUP on POSIX systems; the console's
// close, Ctrl+C, Ctrl+Break, log-off and shut-down events on Windows. A
// second request before the program has ended ends it at once, the way the
// system would have without this. One object at a time.
class QuitRequests : public QObject
{
    Q_OBJECT

public:
    explicit QuitRequests(QObject *parent = nullptr);
    // The system's own handling comes back.
    ~QuitRequests() override;

signals:
    void requested();

private:
    struct Watch;
    std::unique_ptr<Watch> watch;
};
