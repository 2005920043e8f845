#include "portwatcher.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

#include <dbt.h>

namespace Cv {

// Windows tells every top-level window when a port arrives or goes
// (WM_DEVICECHANGE with a port-type header); the toolkit's windows get these
// messages, and a native event filter sees them on their way.
class PortWatcher::Platform : public QAbstractNativeEventFilter
{
public:
    explicit Platform(PortWatcher *owner) : owner(owner)
    {
        if (auto *app = QCoreApplication::instance()) {
            app->installNativeEventFilter(this);
            installed = true;
        }
    }

    ~Platform() override
    {
        if (installed && QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool watching() const { return installed; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_DEVICECHANGE)
            return false;
        switch (msg->wParam) {
        case DBT_DEVICEARRIVAL:
        case DBT_DEVICEREMOVECOMPLETE: {
            const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(msg->lParam);
            if (header && header->dbch_devicetype == DBT_DEVTYP_PORT)
                owner->notify();
            break;
        }
        case DBT_DEVNODES_CHANGED:
            // Sent without details when a device node is added or removed,
            // also for adapters whose port the system does not announce.
            owner->notify();
            break;
        default:
            break;
        }
        return false; // others may want the message too
    }

private:
    PortWatcher *owner;
    bool installed = false;
};

PortWatcher::PortWatcher(QObject *parent)
    : QObject(parent), platform(std::make_unique<Platform>(this))
{}

PortWatcher::~PortWatcher() = default;

bool PortWatcher::isWatching() const
{
    return platform->watching();
}

} // namespace Cv
