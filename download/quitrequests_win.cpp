#include "quitrequests.h"

#include <QMetaObject>

#include <atomic>
#include <mutex>
#include <windows.h>

// A GUI program sees these only while it has a console (started with one
// attached, or given one for diagnostics). The end of the desktop session
// reaches it as a window message instead, which the toolkit turns into its
// session management signals.

namespace {

// The handler runs in a thread of the system's; the mutex keeps the object
// alive while the handler posts to it.
std::mutex targetMutex;
QuitRequests *target = nullptr;
std::atomic<bool> requestPending = false;
std::atomic<bool> targetGone = false;

BOOL WINAPI onConsoleEvent(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return FALSE;
    }
    // A second request goes on to the system's handler, which ends the process.
    if (requestPending.exchange(true))
        return FALSE;
    {
        const std::lock_guard<std::mutex> guard(targetMutex);
        if (!target)
            return FALSE;
        QuitRequests *receiver = target;
        QMetaObject::invokeMethod(
            receiver, [receiver] { emit receiver->requested(); }, Qt::QueuedConnection);
    }
    // After these the system ends the process as soon as the handler
    // returns: the window is given the few seconds the system allows to
    // store its settings and go.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        for (int waited = 0; waited < 4500 && !targetGone.load(); waited += 50)
            ::Sleep(50);
    }
    return TRUE;
}

} // namespace

struct QuitRequests::Watch
{
    bool installed = false;
};

QuitRequests::QuitRequests(QObject *parent) : QObject(parent), watch(std::make_unique<Watch>())
{
    {
        const std::lock_guard<std::mutex> guard(targetMutex);
        target = this;
    }
    requestPending = false;
    targetGone = false;
    watch->installed = ::SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

QuitRequests::~QuitRequests()
{
    {
        const std::lock_guard<std::mutex> guard(targetMutex);
        target = nullptr;
    }
    targetGone = true;
    if (watch->installed)
        ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}
