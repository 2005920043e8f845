#include "portwatcher.h"

#include <QSocketNotifier>

#include <cstring>
#include <libudev.h>

namespace Cv {

// A udev monitor on the tty subsystem: the device manager's announcements,
// sent once it has made the device node, so the port can be opened when the
// list shows it.
class PortWatcher::Platform
{
public:
    explicit Platform(PortWatcher *owner)
    {
        context = udev_new();
        if (!context)
            return;
        monitor = udev_monitor_new_from_netlink(context, "udev");
        if (!monitor)
            return;
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor) < 0) {
            udev_monitor_unref(monitor);
            monitor = nullptr;
            return;
        }
        notifier =
            std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, owner,
                         [this, owner] { drain(owner); });
    }

    ~Platform()
    {
        notifier.reset(); // before the descriptor it watches goes
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }

    bool watching() const { return notifier != nullptr; }

private:
    // Takes every waiting announcement. Only arrivals and removals change the
    // list, not a change of a port's attributes.
    void drain(PortWatcher *owner)
    {
        while (udev_device *device = udev_monitor_receive_device(monitor)) {
            const char *action = udev_device_get_action(device);
            const QString name = QString::fromLocal8Bit(udev_device_get_sysname(device));
            if (action && std::strcmp(action, "add") == 0)
                owner->portAdded(name);
            else if (action && std::strcmp(action, "remove") == 0)
                owner->portRemoved(name);
            udev_device_unref(device);
        }
    }

    udev *context = nullptr;
    udev_monitor *monitor = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
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
