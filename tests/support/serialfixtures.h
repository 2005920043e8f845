#pragma once

// Test fixtures for the serial tests: a capture of standard error and a log
// of the debug channel; the line settings of a download come from the
// program's own downloadLineSettings().

#include "downloadline.h"
#include "serialportsettings.h"
#include "stderrcapture.h"

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>

// Collects the debug channel while it lives; messages may come from any thread.
class DebugLog
{
public:
    DebugLog()
    {
        QMutexLocker locker(&state().mutex);
        state().lines.clear();
        previous = qInstallMessageHandler(&DebugLog::handler);
    }
    ~DebugLog() { qInstallMessageHandler(previous); }
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    QStringList lines() const
    {
        QMutexLocker locker(&state().mutex);
        return state().lines;
    }

private:
    struct State
    {
        QMutex mutex;
        QStringList lines;
    };
    static State &state()
    {
        static State s;
        return s;
    }
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg)
            return;
        QMutexLocker locker(&state().mutex);
        state().lines.append(message);
    }

    QtMessageHandler previous = nullptr;
};
