#pragma once

// Test fixtures for the serial tests: the line settings of a download, a
// capture of standard error, and a log of the debug channel.

#include "serialportsettings.h"
#include "stderrcapture.h"

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>


// 9600 bit/s, 8N1, DTR and RTS raised, no flow control: all 22 fields assigned.
inline Cv::SerialPortSettings *downloadSettings()
{
    auto *s = new Cv::SerialPortSettings;
    s->setBaudRate(9600);
    s->setByteSize(8);
    s->setStopBits(ONESTOPBIT);
    s->setFBinary(1);
    s->setFParity(0);
    s->setParity(NOPARITY);
    s->setFOutxDsrFlow(0);
    s->setFDsrSensitivity(0);
    s->setFDtrControl(DTR_CONTROL_ENABLE);
    s->setFOutxCtsFlow(0);
    s->setFRtsControl(RTS_CONTROL_ENABLE);
    s->setFOutX(0);
    s->setFInX(0);
    s->setXonChar(0x11);
    s->setXoffChar(0x13);
    s->setEvtChar(0);
    s->setXonLim(100);
    s->setXoffLim(100);
    s->setFTXContinueOnXoff(1);
    s->setFErrorChar(0);
    s->setFNull(0);
    s->setFAbortOnError(0);
    return s;
}

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
