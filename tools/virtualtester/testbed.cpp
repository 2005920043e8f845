#include "testbed.h"

#include <umockdev.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace {

#define CV_USB_DEVICE "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2"

// Children first, the way the kernel takes a device away.
const char *const removalOrder[] = {
    CV_USB_DEVICE "/1-2:1.0/ttyUSB0/tty/ttyUSB0",
    CV_USB_DEVICE "/1-2:1.0/ttyUSB0",
    CV_USB_DEVICE "/1-2:1.0",
    CV_USB_DEVICE,
};

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

TestBed::TestBed() = default;

TestBed::~TestBed()
{
    if (m_holdFd >= 0)
        ::close(m_holdFd);
    // The bed closes the line's master and removes its directory.
    if (m_bed)
        g_object_unref(m_bed);
}

QByteArray TestBed::description()
{
    // Laid out like the sysfs tree of a real USB serial adapter: device,
    // interface, usb-serial port and its tty.
    return QByteArrayLiteral(
        "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2\n"
        "E: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_device\n"
        "E: DRIVER=usb\n"
        "E: PRODUCT=1209/1/100\n"
        "E: TYPE=0/0/0\n"
        "E: BUSNUM=001\n"
        "E: DEVNUM=003\n"
        "E: MAJOR=189\n"
        "E: MINOR=2\n"
        "A: idVendor=1209\n"
        "A: idProduct=0001\n"
        "A: bcdDevice=0100\n"
        "A: manufacturer=Corvane\n"
        "A: product=Virtual Tester Link\n"
        "A: serial=CV000001\n"
        "A: busnum=1\n"
        "A: devnum=3\n"
        "A: speed=12\n"
        "A: bDeviceClass=00\n"
        "A: bNumInterfaces= 1\n"
        "A: dev=189:2\n"
        "L: driver=../../../../../bus/usb/drivers/usb\n"
        "\n"
        "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0\n"
        "E: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_interface\n"
        "E: DRIVER=usbserial_generic\n"
        "E: PRODUCT=1209/1/100\n"
        "E: TYPE=0/0/0\n"
        "E: INTERFACE=255/255/255\n"
        "E: MODALIAS=usb:v1209p0001d0100dc00dsc00dp00icFFiscFFipFFin00\n"
        "A: bInterfaceNumber=00\n"
        "A: bInterfaceClass=ff\n"
        "A: bInterfaceSubClass=ff\n"
        "A: bInterfaceProtocol=ff\n"
        "A: bNumEndpoints=02\n"
        "L: driver=../../../../../../bus/usb/drivers/usbserial_generic\n"
        "\n"
        "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0\n"
        "E: SUBSYSTEM=usb-serial\n"
        "E: DRIVER=usbserial_generic\n"
        "A: port_number=0\n"
        "L: driver=../../../../../../../bus/usb-serial/drivers/usbserial_generic\n"
        "\n"
        "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0\n"
        "N: ttyUSB0\n"
        "E: SUBSYSTEM=tty\n"
        "E: DEVNAME=/dev/ttyUSB0\n"
        "E: MAJOR=188\n"
        "E: MINOR=0\n"
        "E: ID_BUS=usb\n"
        "E: ID_VENDOR=Corvane\n"
        "E: ID_VENDOR_ENC=Corvane\n"
        "E: ID_VENDOR_ID=1209\n"
        "E: ID_MODEL=Virtual_Tester_Link\n"
        "E: ID_MODEL_ENC=Virtual\\x20Tester\\x20Link\n"
        "E: ID_MODEL_ID=0001\n"
        "E: ID_REVISION=0100\n"
        "E: ID_SERIAL=Corvane_Virtual_Tester_Link_CV000001\n"
        "E: ID_SERIAL_SHORT=CV000001\n"
        "E: ID_TYPE=generic\n"
        "E: ID_USB_INTERFACES=:ffffff:\n"
        "E: ID_USB_INTERFACE_NUM=00\n"
        "E: ID_USB_DRIVER=usbserial_generic\n"
        "E: ID_PATH=pci-0000:00:14.0-usb-0:2:1.0\n"
        "E: ID_PATH_TAG=pci-0000_00_14_0-usb-0_2_1_0\n"
        "A: dev=188:0\n");
}

QString TestBed::sysPath()
{
    return QLatin1String(removalOrder[0]);
}

bool TestBed::create()
{
    if (m_bed)
        return present();
    m_bed = umockdev_testbed_new();
    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(m_bed, description().constData(), &error)) {
        m_errorString = QStringLiteral("cannot add the adapter to the test bed: %1")
                            .arg(QString::fromUtf8(error ? error->message : "unknown error"));
        g_clear_error(&error);
        return false;
    }
    const QByteArray node = devicePath().toLocal8Bit();
    const int fd = umockdev_testbed_get_dev_fd(m_bed, node.constData());
    if (fd < 0) {
        m_errorString = QStringLiteral("the test bed made no pty for %1").arg(devicePath());
        return false;
    }
    return attachLine(fd);
}

// The bed makes a device's pty only the first time it sees the device, and
// keeps its descriptor number for good. So a new line goes in under that
// number, and its /dev entries are laid out the way the bed lays out its own.
bool TestBed::plugIn()
{
    if (!m_bed || m_slotFd < 0)
        return false;
    if (present())
        return true;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        m_errorString = systemError("cannot make a new pty");
        return false;
    }
    char name[128] = {};
    bool made = ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
                ::ptsname_r(master, name, sizeof name) == 0;
    if (made) {
        int result;
        do {
            result = ::dup3(master, m_slotFd, O_CLOEXEC);
        } while (result < 0 && errno == EINTR);
        made = result >= 0;
    }
    if (!made)
        m_errorString = systemError("cannot make a new pty");
    ::close(master);
    if (!made)
        return false;

    const QString dev = rootDir() + QStringLiteral("/dev/");
    QByteArray record(name);
    record.replace('/', '_');
    const QByteArray majorMinor("188:0");
    const QByteArray links[][2] = {
        {QByteArray(name), (dev + QStringLiteral("ttyUSB0")).toLocal8Bit()},
        {majorMinor, (dev + QStringLiteral(".ptymap/")).toLocal8Bit() + record},
    };
    for (const auto &link : links) {
        ::unlink(link[1].constData());
        if (::symlink(link[0].constData(), link[1].constData()) < 0) {
            m_errorString = systemError("cannot put the adapter back in /dev");
            return false;
        }
    }
    if (!attachLine(m_slotFd))
        return false;
    // Raw like the bed's own line: no echo of the records back to the tester.
    termios mode{};
    if (::tcgetattr(m_holdFd, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(m_holdFd, TCSANOW, &mode);
    }

    // The tty without its node line: the node is in place already (the bed
    // still records its numbers).
    QByteArray sysfs = description();
    sysfs.replace("N: ttyUSB0\n", "");
    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(m_bed, sysfs.constData(), &error)) {
        m_errorString = QStringLiteral("cannot add the adapter to the test bed: %1")
                            .arg(QString::fromUtf8(error ? error->message : "unknown error"));
        g_clear_error(&error);
        return false;
    }
    return true;
}

bool TestBed::attachLine(int fd)
{
    m_slotFd = fd;
    // The master must not leak into the program: a pull-out hangs up the line
    // only when the last descriptor of the master is gone.
    if (::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        m_errorString = systemError("cannot mark the line close-on-exec");
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        m_errorString = systemError("cannot make the line non-blocking");
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(fd, name, sizeof name) != 0) {
        m_errorString = systemError("cannot name the line's pty");
        return false;
    }
    int hold;
    do {
        hold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    } while (hold < 0 && errno == EINTR);
    if (hold < 0) {
        m_errorString = systemError("cannot open the line's pty");
        return false;
    }
    m_holdFd = hold;
    m_lineFd = fd;
    m_ptyName = QByteArray(name);
    return true;
}

QString TestBed::readyText() const
{
    return QStringLiteral("test bed ready in %1: USB serial adapter 1209:0001 \"Virtual Tester "
                          "Link\" as %2")
        .arg(rootDir(), devicePath());
}

QString TestBed::startHint() const
{
    return QStringLiteral("start a program in the bed with: UMOCKDEV_DIR=%1 umockdev-wrapper "
                          "PROGRAM")
        .arg(rootDir());
}

QByteArray TestBed::shellVariables() const
{
    return "UMOCKDEV_DIR=" + rootDir().toLocal8Bit() + "\nDEVNAME=" + devicePath().toLocal8Bit() +
           "\n";
}

QString TestBed::rootDir() const
{
    if (!m_bed)
        return QString();
    gchar *dir = umockdev_testbed_get_root_dir(m_bed);
    const QString result = QString::fromLocal8Bit(dir);
    g_free(dir);
    return result;
}

int TestBed::unreadBytes() const
{
    int count = 0;
    // Straight to the kernel: umockdev's preload library, which the tester
    // runs under, wraps ioctl() and does not pass this one on.
    if (m_holdFd < 0 || ::syscall(SYS_ioctl, m_holdFd, FIONREAD, &count) < 0)
        return -1;
    return count;
}

bool TestBed::pullOut()
{
    if (!present())
        return false;
    for (const char *path : removalOrder)
        umockdev_testbed_uevent(m_bed, path, "remove");
    // The bed owns the master and closes it once more when it goes away, so
    // replace it in place: dup3() drops the master (hanging up every open
    // end of the line) and leaves a harmless descriptor under its number.
    int placeholder;
    do {
        placeholder = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    } while (placeholder < 0 && errno == EINTR);
    bool hungUp = false;
    if (placeholder >= 0) {
        int result;
        do {
            result = ::dup3(placeholder, m_lineFd, O_CLOEXEC);
        } while (result < 0 && errno == EINTR);
        hungUp = result >= 0;
        ::close(placeholder);
    }
    if (!hungUp)
        m_errorString = systemError("cannot hang up the line");
    if (m_holdFd >= 0) {
        ::close(m_holdFd);
        m_holdFd = -1;
    }
    for (const char *path : removalOrder)
        umockdev_testbed_remove_device(m_bed, path);
    // The bed keeps its record of the pty; a new adapter may get a pty of
    // the same name and could not be added beside the stale record.
    QByteArray record = m_ptyName;
    record.replace('/', '_');
    ::unlink(QStringLiteral("%1/dev/.ptymap/%2")
                 .arg(rootDir(), QString::fromLocal8Bit(record))
                 .toLocal8Bit()
                 .constData());
    m_lineFd = -1;
    return hungUp;
}
