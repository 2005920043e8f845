#include "portwatcher.h"

#include <QTimer>

#include <utility>

namespace Cv {

// An adapter brings several notifications at once (its USB device, its
// interface, its port); the list needs to be read once, after the burst.
void PortWatcher::notify()
{
    if (notifyQueued)
        return;
    notifyQueued = true;
    QTimer::singleShot(0, this, [this] {
        notifyQueued = false;
        const QStringList names = std::exchange(gone, {});
        emit portsChanged(names);
    });
}

// A port plugged out and in again within one burst is there.
void PortWatcher::portAdded(const QString &name)
{
    gone.removeAll(name);
    notify();
}

void PortWatcher::portRemoved(const QString &name)
{
    if (!gone.contains(name))
        gone.append(name);
    notify();
}

} // namespace Cv
