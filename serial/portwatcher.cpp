#include "portwatcher.h"

#include <QTimer>

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
        emit portsChanged();
    });
}

} // namespace Cv
