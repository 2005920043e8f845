#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

namespace Cv {

// Tells when a serial port may have come or gone, so that a port list can
// follow the hardware. It waits on the system's device notifications (udev on
// Linux, WM_DEVICECHANGE on Windows) and costs nothing while none come: no
// timer. A burst of notifications for one device gives one portsChanged().
class PortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit PortWatcher(QObject *parent = nullptr);
    ~PortWatcher() override;

    // False when the system's notifications cannot be had (no udev, for
    // instance in a container); the list then changes only on request.
    bool isWatching() const;

signals:
    // `gone` names the ports announced as removed since the last signal
    // (Linux only): the announcement may come while the system still lists
    // them, so a reader of the list leaves them out.
    void portsChanged(const QStringList &gone);

private:
    void notify();
    void portAdded(const QString &name);
    void portRemoved(const QString &name);

    class Platform;
    std::unique_ptr<Platform> platform;
    bool notifyQueued = false;
    QStringList gone;
};

} // namespace Cv
