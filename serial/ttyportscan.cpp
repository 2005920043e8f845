#include "ttyportscan.h"

#include <libudev.h>

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using UdevPtr = std::unique_ptr<udev, decltype(&udev_unref)>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)>;
using DevicePtr = std::unique_ptr<udev_device, decltype(&udev_device_unref)>;

QString text(const char *value)
{
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

QString attribute(udev_device *device, const char *name)
{
    return text(udev_device_get_sysattr_value(device, name));
}

QString property(udev_device *device, const char *name)
{
    return text(udev_device_get_property_value(device, name));
}

QString subsystemOf(udev_device *device)
{
    return text(udev_device_get_subsystem(device));
}

QString driverOf(udev_device *device)
{
    const QString driver = text(udev_device_get_driver(device));
    return driver.isEmpty() ? property(device, "DRIVER") : driver;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The devices that sit between a port and its hardware on the way up sysfs.
struct Ancestry
{
    udev_device *bus = nullptr;       // the hardware device on its bus
    udev_device *usbDevice = nullptr; // the whole USB device, for USB ports
    QString driver;
};

Ancestry ancestryOf(udev_device *parent)
{
    Ancestry found;
    for (udev_device *device = parent; device; device = udev_device_get_parent(device)) {
        const QString subsystem = subsystemOf(device);
        // Newer kernels put a port and a controller device of their own
        // between every serial-core port and its hardware.
        if (subsystem == QLatin1String("serial-base"))
            continue;
        if (found.driver.isEmpty())
            found.driver = driverOf(device);
        if (!found.bus && !subsystem.isEmpty() && subsystem != QLatin1String("usb-serial") &&
            subsystem != QLatin1String("tty"))
            found.bus = device;
        if (subsystem == QLatin1String("usb") &&
            qstrcmp(udev_device_get_devtype(device), "usb_device") == 0) {
            found.usbDevice = device;
            break;
        }
    }
    return found;
}

// Upper-case hexadecimal of at most `digits` digits, padded; empty if the
// attribute is no such number.
QString hexId(const QString &value, int digits)
{
    QString number = value;
    if (number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        number.remove(0, 2);
    bool ok = false;
    const qulonglong parsed = number.toULongLong(&ok, 16);
    if (!ok || number.size() > digits)
        return {};
    return QStringLiteral("%1").arg(parsed, digits, 16, QLatin1Char('0')).toUpper();
}

QStringList usbHardwareIds(udev_device *usbDevice)
{
    const QString vid = hexId(attribute(usbDevice, "idVendor"), 4);
    const QString pid = hexId(attribute(usbDevice, "idProduct"), 4);
    if (vid.isEmpty() || pid.isEmpty())
        return {};
    const QString base = QStringLiteral("USB\\VID_%1&PID_%2").arg(vid, pid);
    const QString rev = hexId(attribute(usbDevice, "bcdDevice"), 4);
    if (rev.isEmpty())
        return {base};
    return {base + QStringLiteral("&REV_") + rev, base};
}

QStringList pciHardwareIds(udev_device *pci)
{
    const QString vendor = hexId(attribute(pci, "vendor"), 4);
    const QString device = hexId(attribute(pci, "device"), 4);
    if (vendor.isEmpty() || device.isEmpty())
        return {};
    const QString base = QStringLiteral("PCI\\VEN_%1&DEV_%2").arg(vendor, device);
    const QString subVendor = hexId(attribute(pci, "subsystem_vendor"), 4);
    const QString subDevice = hexId(attribute(pci, "subsystem_device"), 4);
    const QString rev = hexId(attribute(pci, "revision"), 2);
    QStringList ids;
    if (!subVendor.isEmpty() && !subDevice.isEmpty() && !rev.isEmpty())
        ids << base + QStringLiteral("&SUBSYS_%1%2&REV_%3").arg(subDevice, subVendor, rev);
    ids << base;
    return ids;
}

// Enumerator, a backslash, and what the bus itself calls the device.
QStringList otherHardwareIds(udev_device *bus, const QString &enumerator)
{
    const QString prefix = enumerator + QLatin1Char('\\');
    QStringList ids;
    for (const QString &id : attribute(bus, "id").split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        ids << prefix + id.trimmed();
    if (!ids.isEmpty())
        return ids;
    const QString alias = property(bus, "MODALIAS");
    const qsizetype colon = alias.indexOf(QLatin1Char(':'));
    if (colon >= 0 && colon + 1 < alias.size())
        return {prefix + alias.mid(colon + 1)};
    return {prefix + text(udev_device_get_sysname(bus))};
}

QStringList hardwareIdsOf(const Ancestry &ancestry, const QString &enumerator)
{
    QStringList ids;
    if (ancestry.usbDevice)
        ids = usbHardwareIds(ancestry.usbDevice);
    else if (ancestry.bus && enumerator == QLatin1String("PCI"))
        ids = pciHardwareIds(ancestry.bus);
    if (ids.isEmpty() && ancestry.bus)
        ids = otherHardwareIds(ancestry.bus, enumerator);
    return ids;
}

enum class Uart { Present, Absent, Unknown };

Uart uartFromType(int type)
{
    return type == PORT_UNKNOWN ? Uart::Absent : Uart::Present;
}

Uart uartFromAttribute(udev_device *tty)
{
    const char *value = udev_device_get_sysattr_value(tty, "type");
    if (!value)
        return Uart::Unknown;
    bool ok = false;
    const int type = QByteArray(value).trimmed().toInt(&ok);
    return ok ? uartFromType(type) : Uart::Unknown;
}

Uart uartFromDevice(const QByteArray &node)
{
    int fd;
    do {
        fd = ::open(node.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Uart::Unknown;
    serial_struct info{};
    int rc;
    do {
        rc = ::ioctl(fd, TIOCGSERIAL, &info);
    } while (rc < 0 && errno == EINTR);
    ::close(fd);
    return rc < 0 ? Uart::Unknown : uartFromType(info.type);
}

// The 8250 driver registers its ttyS ports whether or not a UART answers
// at the port's address; other drivers only create ports that exist.
bool isLegacyUartName(const QString &name)
{
    if (!name.startsWith(QLatin1String("ttyS")) || name.size() == 4)
        return false;
    return std::all_of(name.cbegin() + 4, name.cend(), isAsciiDigit);
}

bool hasUart(udev_device *tty, const QString &kernelName)
{
    switch (uartFromAttribute(tty)) {
    case Uart::Present:
        return true;
    case Uart::Absent:
        return false;
    case Uart::Unknown:
        break;
    }
    if (!isLegacyUartName(kernelName))
        return true;
    const char *node = udev_device_get_devnode(tty);
    return uartFromDevice(node ? QByteArray(node) : "/dev/" + kernelName.toUtf8()) == Uart::Present;
}

TtyPort describe(udev_device *tty, udev_device *parent, const QString &kernelName)
{
    const Ancestry ancestry = ancestryOf(parent);
    TtyPort port;
    port.kernelName = kernelName;
    port.physicalName = text(udev_device_get_devpath(ancestry.bus ? ancestry.bus : parent));
    if (ancestry.bus)
        port.enumeratorName = subsystemOf(ancestry.bus).toUpper();

    // The USB product string reads better than the database's model name,
    // which has its spaces replaced.
    QString label;
    if (ancestry.usbDevice)
        label = attribute(ancestry.usbDevice, "product");
    if (label.isEmpty())
        label = property(tty, "ID_MODEL");
    if (label.isEmpty() && ancestry.usbDevice)
        label = property(ancestry.usbDevice, "ID_MODEL");
    if (label.isEmpty())
        label = ancestry.driver;
    port.friendlyName =
        label.isEmpty() ? kernelName : QStringLiteral("%1 (%2)").arg(label, kernelName);
    port.hardwareIds = hardwareIdsOf(ancestry, port.enumeratorName);
    return port;
}

// The sysfs paths of the ttys that may be ports, from the tty class folder.
// The kernel files a tty without a parent device (virtual consoles,
// pseudo-terminals, the console) as devices/virtual/tty/<name>; leaving
// those out by their link alone spares reading the 60-odd of them that
// every system has, which the device library's own enumeration does and
// which made most of the program's start-up. False if the class folder
// cannot be read.
bool classSysPaths(QList<QByteArray> &paths)
{
    static const char classDir[] = "/sys/class/tty";
    DIR *dir = ::opendir(classDir);
    if (!dir)
        return false;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray classPath = QByteArray(classDir) + '/' + entry->d_name;
        char target[4096];
        const ssize_t length = ::readlink(classPath.constData(), target, sizeof target);
        if (length < 0 || length == ssize_t(sizeof target)) {
            // Not a link (older sysfs layouts): the device library decides.
            paths.append(classPath);
            continue;
        }
        const QByteArray link(target, length);
        if (link.endsWith(QByteArray("/devices/virtual/tty/") + entry->d_name))
            continue;
        paths.append(link.startsWith('/') ? link
                                          : QDir::cleanPath(QString::fromLocal8Bit(
                                                                QByteArray(classDir) + '/' + link))
                                                .toLocal8Bit());
    }
    ::closedir(dir);
    return true;
}

bool enumeratedSysPaths(udev *context, QList<QByteArray> &paths)
{
    EnumeratePtr enumerate(udev_enumerate_new(context), udev_enumerate_unref);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0)
        return false;
    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        paths.append(QByteArray(udev_list_entry_get_name(entry)));
    }
    return true;
}

} // namespace

bool scanTtyPorts(QList<TtyPort> &ports)
{
    UdevPtr context(udev_new(), udev_unref);
    if (!context)
        return false;
    QList<QByteArray> sysPaths;
    if (!classSysPaths(sysPaths) && !enumeratedSysPaths(context.get(), sysPaths))
        return false;

    QList<TtyPort> found;
    for (const QByteArray &sysPath : std::as_const(sysPaths)) {
        DevicePtr tty(udev_device_new_from_syspath(context.get(), sysPath.constData()),
                      udev_device_unref);
        if (!tty)
            continue;
        // Virtual consoles, pseudo-terminals and the like have no parent device.
        udev_device *parent = udev_device_get_parent(tty.get());
        if (!parent)
            continue;
        const QString kernelName = text(udev_device_get_sysname(tty.get()));
        if (kernelName.isEmpty() || !hasUart(tty.get(), kernelName))
            continue;
        found.append(describe(tty.get(), parent, kernelName));
    }
    std::sort(found.begin(), found.end(), [](const TtyPort &a, const TtyPort &b) {
        return kernelNameLess(a.kernelName, b.kernelName);
    });
    ports.append(found);
    return true;
}

bool kernelNameLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (!isAsciiDigit(a[i]) || !isAsciiDigit(b[j])) {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
            continue;
        }
        const qsizetype startA = i;
        const qsizetype startB = j;
        while (i < a.size() && isAsciiDigit(a[i]))
            ++i;
        while (j < b.size() && isAsciiDigit(b[j]))
            ++j;
        QStringView runA = QStringView(a).sliced(startA, i - startA);
        QStringView runB = QStringView(b).sliced(startB, j - startB);
        while (runA.size() > 1 && runA.front() == u'0')
            runA = runA.sliced(1);
        while (runB.size() > 1 && runB.front() == u'0')
            runB = runB.sliced(1);
        if (runA.size() != runB.size())
            return runA.size() < runB.size();
        if (const int order = runA.compare(runB); order != 0)
            return order < 0;
    }
    if (i < a.size() || j < b.size())
        return j < b.size();
    // Equal but for leading zeros: any fixed order will do.
    return a < b;
}
