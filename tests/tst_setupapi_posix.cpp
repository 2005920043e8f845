// The port list on Linux, from device test beds modelled on real sysfs trees.
// The beds give no MAJOR/MINOR, so a real udev database on the machine
// running the tests cannot add properties to the bed's devices.

// Before any Qt header: GLib uses "signals" as a name.
#include "umockdevbed.h"

#include "portenumerator.h"
#include "portenumerator_p.h"
#include "ttyportscan.h"

#include <QTest>

#include <atomic>
#include <cerrno>
#include <linux/serial.h>
#include <memory>
#include <sys/ioctl.h>

namespace {

// An FTDI adapter, a CDC-ACM device, a UART on the platform bus with a
// placeholder beside it, and virtual ttys without a parent. Properties the
// udev database would add (ID_MODEL) are there too.
const char *const deskBed = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
E: DRIVER=usb
E: PRODUCT=403/6001/600
E: ID_MODEL=FT232R_USB_UART
A: idVendor=0403
A: idProduct=6001
A: bcdDevice=0600
A: manufacturer=FTDI
A: product=FT232R USB UART
A: serial=A50285BI
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
E: DRIVER=ftdi_sio
E: MODALIAS=usb:v0403p6001d0600dc00dsc00dp00icFFiscFFipFFin00
A: bInterfaceNumber=00
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0
E: SUBSYSTEM=usb-serial
E: DRIVER=ftdi_sio
A: port_number=0
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0
N: ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0
E: ID_MODEL=FT232R_USB_UART
E: ID_SERIAL=FTDI_FT232R_USB_UART_A50285BI

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
E: DRIVER=usb
A: idVendor=1a2b
A: idProduct=000a
A: bcdDevice=0100
A: serial=e6614c311b4d5a2f
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
E: DRIVER=cdc_acm
A: bInterfaceNumber=00
L: driver=../../../../../../bus/usb/drivers/cdc_acm

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty/ttyACM0
N: ttyACM0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyACM0
E: ID_MODEL=Board_Console
E: ID_SERIAL=Example_Board_Console_E6614C311B4D5A2F

P: /devices/platform/serial8250
E: SUBSYSTEM=platform
E: DRIVER=serial8250
E: MODALIAS=platform:serial8250
L: driver=../../../bus/platform/drivers/serial8250

P: /devices/platform/serial8250/tty/ttyS0
N: ttyS0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS0
A: type=4
A: port=0x3F8
A: irq=4

P: /devices/platform/serial8250/tty/ttyS1
N: ttyS1
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS1
A: type=0
A: port=0x2F8
A: irq=3

P: /devices/virtual/tty/tty0
N: tty0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/tty0

P: /devices/virtual/tty/rfcomm0
N: rfcomm0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/rfcomm0

P: /devices/virtual/tty/ptmx
N: ptmx
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ptmx
)";

// What the kernel alone provides, without a udev database: a PNP UART
// behind the serial-base devices of newer kernels, a PCI UART, and USB
// adapters, one of them with two ports and one without a product string.
const char *const sysfsBed = R"(P: /devices/pnp0/00:01
E: SUBSYSTEM=pnp
A: id=PNP0501
L: driver=../../../bus/pnp/drivers/serial

P: /devices/pnp0/00:01/00:01:0
E: SUBSYSTEM=serial-base
E: DEVTYPE=ctrl
L: driver=../../../../bus/serial-base/drivers/ctrl

P: /devices/pnp0/00:01/00:01:0/00:01:0.0
E: SUBSYSTEM=serial-base
E: DEVTYPE=port
L: driver=../../../../../bus/serial-base/drivers/port

P: /devices/pnp0/00:01/00:01:0/00:01:0.0/tty/ttyS0
N: ttyS0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS0
A: type=4

P: /devices/pci0000:00/0000:00:16.3
E: SUBSYSTEM=pci
E: MODALIAS=pci:v00008086d00009D3Dsv000017AAsd00002245bc07sc00i02
A: vendor=0x8086
A: device=0x9d3d
A: subsystem_vendor=0x17aa
A: subsystem_device=0x2245
A: revision=0x21
L: driver=../../../bus/pci/drivers/serial

P: /devices/pci0000:00/0000:00:16.3/tty/ttyS4
N: ttyS4
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS4
A: type=4

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
E: PRODUCT=403/6001/600
A: idVendor=0403
A: idProduct=6001
A: bcdDevice=0600
A: product=FT232R USB UART
A: serial=A50285BI
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0
N: ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=0403
A: idProduct=6010
A: bcdDevice=0700
A: product=Dual RS232-HS
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.1/ttyUSB10
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.1/ttyUSB10/tty/ttyUSB10
N: ttyUSB10
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB10

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB2
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB2/tty/ttyUSB2
N: ttyUSB2
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB2

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=067b
A: idProduct=2303
A: bcdDevice=0300
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/pl2303

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/ttyUSB1
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/pl2303

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/ttyUSB1/tty/ttyUSB1
N: ttyUSB1
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB1
)";

// Ports whose type attribute cannot be read: 8250 ports must be asked,
// the others never opened.
const char *const hiddenTypeBed = R"(P: /devices/pnp0/00:02
E: SUBSYSTEM=pnp
A: id=PNP0501
L: driver=../../../bus/pnp/drivers/serial

P: /devices/pnp0/00:02/tty/ttyS2
N: ttyS2
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS2

P: /devices/platform/serial8250
E: SUBSYSTEM=platform
E: MODALIAS=platform:serial8250
L: driver=../../../bus/platform/drivers/serial8250

P: /devices/platform/serial8250/tty/ttyS3
N: ttyS3
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS3

P: /devices/platform/serial8250/tty/ttyS5
N: ttyS5
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS5

P: /devices/platform/serial8250/tty/ttyS6
N: ttyS6
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS6
A: type=4

P: /devices/platform/fe201000.serial
E: SUBSYSTEM=amba
E: MODALIAS=amba:d00041011
L: driver=../../../bus/amba/drivers/uart-pl011

P: /devices/platform/fe201000.serial/tty/ttyAMA0
N: ttyAMA0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyAMA0

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=0403
A: idProduct=6001
A: bcdDevice=0600
A: product=FT232R USB UART
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/tty/ttyUSB0
N: ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0
)";

// Answers TIOCGSERIAL on one device node, as a serial driver would, and
// counts who opens the node.
class SerialIoctl
{
public:
    // type < 0: the node opens but the request fails.
    explicit SerialIoctl(int type) : m_type(type), m_handler(umockdev_ioctl_base_new())
    {
        g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(handleIoctl), this);
        g_signal_connect(m_handler, "client-connected", G_CALLBACK(clientConnected), this);
    }
    ~SerialIoctl() { g_object_unref(m_handler); }
    SerialIoctl(const SerialIoctl &) = delete;
    SerialIoctl &operator=(const SerialIoctl &) = delete;

    UMockdevIoctlBase *handler() const { return m_handler; }
    int opens() const { return m_opens; }
    int requests() const { return m_requests; }

private:
    static gboolean handleIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        auto *that = static_cast<SerialIoctl *>(self);
        ++that->m_requests;
        if (umockdev_ioctl_client_get_request(client) != TIOCGSERIAL || that->m_type < 0) {
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
        }
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        UMockdevIoctlData *info =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(serial_struct), nullptr);
        if (!info) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        serial_struct answer{};
        answer.type = that->m_type;
        answer.line = 2;
        memcpy(info->data, &answer, sizeof(answer));
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(info);
        return TRUE;
    }

    static void clientConnected(UMockdevIoctlBase *, UMockdevIoctlClient *, gpointer self)
    {
        ++static_cast<SerialIoctl *>(self)->m_opens;
    }

    int m_type;
    UMockdevIoctlBase *m_handler;
    std::atomic<int> m_opens = 0;
    std::atomic<int> m_requests = 0;
};

QList<PortInfo> listPorts()
{
    QList<PortInfo> ports;
    enumeratePorts(ports);
    return ports;
}

QStringList portNames(const QList<PortInfo> &ports)
{
    QStringList names;
    for (const PortInfo &port : ports)
        names << port.portName;
    return names;
}

// The registry returns its error codes as LONG.
DWORD queryValue(HKEY key, const char16_t *name, LPDWORD type, void *data, LPDWORD size)
{
    return static_cast<DWORD>(
        RegQueryValueExW(key, name, nullptr, type, static_cast<LPBYTE>(data), size));
}

DWORD closeKey(HKEY key)
{
    return static_cast<DWORD>(RegCloseKey(key));
}

QString deviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD code)
{
    return readDeviceProperty(SetupApiTable(), set, &device, code);
}

} // namespace

class TestSetupApiPosix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listsRealPortsOnly();
    void kernelAttributesSuffice();
    void hardwareIds();
    void uartTypeAskedOfLegacyPortsOnly();
    void propertySizes();
    void portNameKey();
    void handlesAreChecked();
    void eachSetIsASnapshot();
    void classAndEnumeratorFilter();
    void kernelNameOrder_data();
    void kernelNameOrder();

private:
    void addDevices(const char *description);

    std::unique_ptr<UmockdevBed> m_bed;
};

void TestSetupApiPosix::initTestCase()
{
    // The check looks at /sys, which only a live test bed redirects.
    const UmockdevBed bed;
    QVERIFY2(UmockdevBed::active(), "run through umockdev-wrapper");
}

void TestSetupApiPosix::init()
{
    m_bed = std::make_unique<UmockdevBed>();
    QVERIFY(m_bed->get());
}

void TestSetupApiPosix::cleanup()
{
    m_bed.reset();
}

void TestSetupApiPosix::addDevices(const char *description)
{
    QByteArray message;
    const bool added = m_bed->add(description, &message);
    QVERIFY2(added, message.constData());
}

void TestSetupApiPosix::listsRealPortsOnly()
{
    addDevices(deskBed);

    const QList<PortInfo> ports = listPorts();

    QCOMPARE(portNames(ports), QStringList({"ttyACM0", "ttyS0", "ttyUSB0"}));

    const PortInfo &acm = ports[0];
    QCOMPARE(acm.devicePath, QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(acm.openName, QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(acm.friendlyName, QStringLiteral("Board_Console (ttyACM0)"));
    QCOMPARE(acm.enumeratorName, QStringLiteral("USB"));
    QCOMPARE(acm.physicalName, QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0"));
    QCOMPARE(acm.vendorId, 0x1a2b);
    QCOMPARE(acm.productId, 0x000a);

    const PortInfo &uart = ports[1];
    QCOMPARE(uart.devicePath, QStringLiteral("/dev/ttyS0"));
    QCOMPARE(uart.openName, QStringLiteral("/dev/ttyS0"));
    QCOMPARE(uart.friendlyName, QStringLiteral("serial8250 (ttyS0)"));
    QCOMPARE(uart.enumeratorName, QStringLiteral("PLATFORM"));
    QCOMPARE(uart.physicalName, QStringLiteral("/devices/platform/serial8250"));
    QCOMPARE(uart.vendorId, 0);
    QCOMPARE(uart.productId, 0);

    const PortInfo &ftdi = ports[2];
    QCOMPARE(ftdi.devicePath, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(ftdi.openName, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(ftdi.friendlyName, QStringLiteral("FT232R USB UART (ttyUSB0)"));
    QCOMPARE(ftdi.enumeratorName, QStringLiteral("USB"));
    QCOMPARE(ftdi.physicalName,
             QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0"));
    QCOMPARE(ftdi.vendorId, 0x0403);
    QCOMPARE(ftdi.productId, 0x6001);
}

void TestSetupApiPosix::kernelAttributesSuffice()
{
    addDevices(sysfsBed);

    const QList<PortInfo> ports = listPorts();

    QCOMPARE(portNames(ports),
             QStringList({"ttyS0", "ttyS4", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}));
    QStringList friendlyNames;
    QStringList enumerators;
    for (const PortInfo &port : ports) {
        friendlyNames << port.friendlyName;
        enumerators << port.enumeratorName;
    }
    QCOMPARE(friendlyNames, QStringList({"serial (ttyS0)", "serial (ttyS4)",
                                         "FT232R USB UART (ttyUSB0)", "pl2303 (ttyUSB1)",
                                         "Dual RS232-HS (ttyUSB2)", "Dual RS232-HS (ttyUSB10)"}));
    QCOMPARE(enumerators, QStringList({"PNP", "PCI", "USB", "USB", "USB", "USB"}));
    QCOMPARE(ports[0].physicalName, QStringLiteral("/devices/pnp0/00:01"));
    QCOMPARE(ports[1].physicalName, QStringLiteral("/devices/pci0000:00/0000:00:16.3"));
    QCOMPARE(ports[1].vendorId, 0);
    QCOMPARE(ports[3].vendorId, 0x067b);
    QCOMPARE(ports[3].productId, 0x2303);
    QCOMPARE(ports[5].vendorId, 0x0403);
    QCOMPARE(ports[5].productId, 0x6010);
    QCOMPARE(ports[5].openName, QStringLiteral("/dev/ttyUSB10"));
}

void TestSetupApiPosix::hardwareIds()
{
    addDevices(sysfsBed);
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(set != INVALID_HANDLE_VALUE);

    QStringList ids;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        DWORD size = 0;
        QVERIFY(!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, nullptr, nullptr,
                                                   0, &size));
        QByteArray data(size, '\0');
        DWORD type = REG_NONE;
        QVERIFY(SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, &type,
                                                  reinterpret_cast<PBYTE>(data.data()), size,
                                                  nullptr));
        QCOMPARE(type, REG_MULTI_SZ);
        // A list of null-terminated strings, ended by one more null.
        QVERIFY(data.endsWith(QByteArray(4, '\0')));
        ids << QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData()),
                                  size / 2 - 2)
                   .replace(QChar(u'\0'), QLatin1Char('|'));
    }
    QCOMPARE(GetLastError(), ERROR_NO_MORE_ITEMS);
    QVERIFY(SetupDiDestroyDeviceInfoList(set));

    QCOMPARE(ids, QStringList({
                      "PNP\\PNP0501",
                      "PCI\\VEN_8086&DEV_9D3D&SUBSYS_224517AA&REV_21|PCI\\VEN_8086&DEV_9D3D",
                      "USB\\VID_0403&PID_6001&REV_0600|USB\\VID_0403&PID_6001",
                      "USB\\VID_067B&PID_2303&REV_0300|USB\\VID_067B&PID_2303",
                      "USB\\VID_0403&PID_6010&REV_0700|USB\\VID_0403&PID_6010",
                      "USB\\VID_0403&PID_6010&REV_0700|USB\\VID_0403&PID_6010",
                  }));
}

void TestSetupApiPosix::uartTypeAskedOfLegacyPortsOnly()
{
    addDevices(hiddenTypeBed);
    SerialIoctl present(PORT_16550A);
    SerialIoctl absent(PORT_UNKNOWN);
    SerialIoctl failing(-1);
    SerialIoctl typeKnown(PORT_16550A);
    SerialIoctl amba(PORT_UNKNOWN);
    SerialIoctl usb(PORT_UNKNOWN);
    const QList<std::pair<const char *, SerialIoctl *>> nodes = {
        {"/dev/ttyS2", &present},   {"/dev/ttyS3", &absent}, {"/dev/ttyS5", &failing},
        {"/dev/ttyS6", &typeKnown}, {"/dev/ttyAMA0", &amba}, {"/dev/ttyUSB0", &usb}};
    for (const auto &[node, answer] : nodes) {
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_attach_ioctl(m_bed->get(), node, answer->handler(), &error),
                 node);
        g_clear_error(&error);
    }

    const QList<PortInfo> ports = listPorts();

    QCOMPARE(portNames(ports), QStringList({"ttyAMA0", "ttyS2", "ttyS6", "ttyUSB0"}));
    QCOMPARE(ports[0].enumeratorName, QStringLiteral("AMBA"));
    QCOMPARE(ports[0].friendlyName, QStringLiteral("uart-pl011 (ttyAMA0)"));
    QCOMPARE(present.opens(), 1);
    QCOMPARE(present.requests(), 1);
    QCOMPARE(absent.requests(), 1);
    QCOMPARE(failing.requests(), 1);
    QCOMPARE(typeKnown.opens(), 0);
    QCOMPARE(amba.opens(), 0);
    QCOMPARE(usb.opens(), 0);

    for (const auto &entry : nodes)
        QVERIFY(umockdev_testbed_detach_ioctl(m_bed->get(), entry.first, nullptr));
}

void TestSetupApiPosix::propertySizes()
{
    addDevices(deskBed);
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(set != INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    QVERIFY(SetupDiEnumDeviceInfo(set, 2, &device)); // ttyUSB0
    QVERIFY(device.ClassGuid == GUID_DEVCLASS_PORTS);

    const QString friendly = QStringLiteral("FT232R USB UART (ttyUSB0)");
    const auto size = static_cast<DWORD>((friendly.size() + 1) * 2);
    DWORD required = 0;
    QVERIFY(!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr, nullptr,
                                               0, &required));
    QCOMPARE(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    QCOMPARE(required, size);

    QByteArray buffer(size + 8, '\x7f');
    QVERIFY(!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                               reinterpret_cast<PBYTE>(buffer.data()), size - 2,
                                               &required));
    QCOMPARE(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    QCOMPARE(buffer.at(0), '\x7f');

    DWORD type = REG_NONE;
    required = 0;
    QVERIFY(SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                              reinterpret_cast<PBYTE>(buffer.data()), size,
                                              &required));
    QCOMPARE(type, REG_SZ);
    QCOMPARE(required, size);
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer.constData())), friendly);
    QCOMPARE(buffer.at(size), '\x7f'); // nothing written past the data

    // A property the device lacks, and one that does not exist.
    required = 0;
    QVERIFY(!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, nullptr, nullptr, 0,
                                               &required));
    QCOMPARE(GetLastError(), ERROR_INVALID_DATA);
    QCOMPARE(required, DWORD(0));
    QCOMPARE(deviceProperty(set, device, SPDRP_DEVICEDESC), QString());
    QVERIFY(!SetupDiGetDeviceRegistryPropertyW(set, &device, 999, nullptr, nullptr, 0, &required));
    QCOMPARE(GetLastError(), ERROR_INVALID_REG_PROPERTY);

    QCOMPARE(deviceProperty(set, device, SPDRP_ENUMERATOR_NAME), QStringLiteral("USB"));
    QCOMPARE(deviceProperty(set, device, SPDRP_HARDWAREID),
             QStringLiteral("USB\\VID_0403&PID_6001&REV_0600"));

    QVERIFY(!SetupDiEnumDeviceInfo(set, 3, &device));
    QCOMPARE(GetLastError(), ERROR_NO_MORE_ITEMS);
    SP_DEVINFO_DATA wrongSize{};
    wrongSize.cbSize = sizeof(wrongSize) - 4;
    QVERIFY(!SetupDiEnumDeviceInfo(set, 0, &wrongSize));
    QCOMPARE(GetLastError(), ERROR_INVALID_USER_BUFFER);
    QVERIFY(SetupDiDestroyDeviceInfoList(set));
}

void TestSetupApiPosix::portNameKey()
{
    addDevices(deskBed);
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(set != INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    QVERIFY(SetupDiEnumDeviceInfo(set, 0, &device)); // ttyACM0

    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    QVERIFY(key != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    const auto size = static_cast<DWORD>(sizeof(u"ttyACM0"));
    DWORD type = REG_NONE;
    DWORD filled = 0;
    QCOMPARE(queryValue(key, u"PortName", &type, nullptr, &filled), ERROR_SUCCESS);
    QCOMPARE(filled, size);
    QCOMPARE(type, REG_SZ);

    char16_t text[16] = {};
    filled = size - 2;
    QCOMPARE(queryValue(key, u"PortName", nullptr, text, &filled), ERROR_MORE_DATA);
    QCOMPARE(filled, size);
    QCOMPARE(text[0], u'\0');

    filled = sizeof(text);
    QCOMPARE(queryValue(key, u"portname", nullptr, text, &filled), ERROR_SUCCESS);
    QCOMPARE(filled, size);
    QCOMPARE(QString::fromUtf16(text), QStringLiteral("ttyACM0"));
    QCOMPARE(queryValue(key, u"FriendlyName", nullptr, nullptr, &filled), ERROR_FILE_NOT_FOUND);
    QCOMPARE(closeKey(key), ERROR_SUCCESS);

    // The driver key holds no port name; the logic reads through the key and closes it.
    HKEY driverKey = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    QVERIFY(driverKey != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    QCOMPARE(readPortName(SetupApiTable(), driverKey), QString());
    QCOMPARE(closeKey(driverKey), ERROR_INVALID_HANDLE);

    QCOMPARE(SetupDiOpenDevRegKey(set, &device, 4, 0, DIREG_DEV, KEY_READ),
             reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    QCOMPARE(GetLastError(), ERROR_INVALID_FLAGS);
    QVERIFY(SetupDiDestroyDeviceInfoList(set));
}

void TestSetupApiPosix::handlesAreChecked()
{
    addDevices(deskBed);
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    HDEVINFO other = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(set != INVALID_HANDLE_VALUE);
    QVERIFY(other != INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    QVERIFY(SetupDiEnumDeviceInfo(set, 0, &device));
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);

    // A record belongs to the set that filled it.
    DWORD required = 0;
    QVERIFY(!SetupDiGetDeviceRegistryPropertyW(other, &device, SPDRP_FRIENDLYNAME, nullptr, nullptr,
                                               0, &required));
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);

    // Keys and sets live on their own and go once.
    QVERIFY(SetupDiDestroyDeviceInfoList(set));
    QVERIFY(!SetupDiDestroyDeviceInfoList(set));
    QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
    QVERIFY(!SetupDiEnumDeviceInfo(set, 0, &device));
    QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
    QCOMPARE(readPortName(SetupApiTable(), key), QStringLiteral("ttyACM0"));
    QCOMPARE(closeKey(key), ERROR_INVALID_HANDLE);
    QCOMPARE(queryValue(key, u"PortName", nullptr, nullptr, &required), ERROR_INVALID_HANDLE);
    QCOMPARE(closeKey(reinterpret_cast<HKEY>(other)), ERROR_INVALID_HANDLE);
    QVERIFY(SetupDiDestroyDeviceInfoList(other));
}

void TestSetupApiPosix::eachSetIsASnapshot()
{
    addDevices(deskBed);
    HDEVINFO before = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(before != INVALID_HANDLE_VALUE);

    addDevices(R"(P: /devices/pnp0/00:03
E: SUBSYSTEM=pnp
A: id=PNP0501
L: driver=../../../bus/pnp/drivers/serial

P: /devices/pnp0/00:03/tty/ttyS12
N: ttyS12
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS12
A: type=4
)");
    HDEVINFO after = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(after != INVALID_HANDLE_VALUE);

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    QVERIFY(!SetupDiEnumDeviceInfo(before, 3, &device));
    QVERIFY(SetupDiEnumDeviceInfo(after, 2, &device));
    QCOMPARE(deviceProperty(after, device, SPDRP_FRIENDLYNAME), QStringLiteral("serial (ttyS12)"));
    QVERIFY(SetupDiDestroyDeviceInfoList(before));
    QVERIFY(SetupDiDestroyDeviceInfoList(after));

    QCOMPARE(portNames(listPorts()), QStringList({"ttyACM0", "ttyS0", "ttyS12", "ttyUSB0"}));
}

void TestSetupApiPosix::classAndEnumeratorFilter()
{
    addDevices(deskBed);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);

    const GUID otherClass = {
        0x4d36e96d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    HDEVINFO modems = SetupDiGetClassDevsW(&otherClass, nullptr, nullptr, DIGCF_PRESENT);
    QVERIFY(modems != INVALID_HANDLE_VALUE);
    QVERIFY(!SetupDiEnumDeviceInfo(modems, 0, &device));
    QCOMPARE(GetLastError(), ERROR_NO_MORE_ITEMS);
    QVERIFY(SetupDiDestroyDeviceInfoList(modems));

    HDEVINFO usb = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, u"usb", nullptr, DIGCF_PRESENT);
    QVERIFY(usb != INVALID_HANDLE_VALUE);
    QStringList names;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(usb, index, &device); ++index) {
        names << readPortName(SetupApiTable(), SetupDiOpenDevRegKey(usb, &device, DICS_FLAG_GLOBAL,
                                                                    0, DIREG_DEV, KEY_READ));
    }
    QCOMPARE(names, QStringList({"ttyACM0", "ttyUSB0"}));
    QVERIFY(SetupDiDestroyDeviceInfoList(usb));

    QCOMPARE(SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
    QCOMPARE(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr,
                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
             INVALID_HANDLE_VALUE);
    QCOMPARE(GetLastError(), ERROR_INVALID_FLAGS);
}

void TestSetupApiPosix::kernelNameOrder_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    QTest::newRow("number value") << "ttyUSB2"
                                  << "ttyUSB10";
    QTest::newRow("prefix before number") << "ttyS9"
                                          << "ttyUSB0";
    QTest::newRow("letters first") << "ttyACM0"
                                   << "ttyS0";
    QTest::newRow("shorter first") << "ttyS"
                                   << "ttyS0";
    QTest::newRow("leading zeros") << "ttyS01"
                                   << "ttyS1";
    QTest::newRow("second number") << "ttyXR2p3"
                                   << "ttyXR2p10";
    QTest::newRow("large numbers") << "ttyS99999999999999999998"
                                   << "ttyS99999999999999999999";
}

void TestSetupApiPosix::kernelNameOrder()
{
    QFETCH(QString, first);
    QFETCH(QString, second);

    QVERIFY(kernelNameLess(first, second));
    QVERIFY(!kernelNameLess(second, first));
    QVERIFY(!kernelNameLess(first, first));
}

QTEST_GUILESS_MAIN(TestSetupApiPosix)
#include "tst_setupapi_posix.moc"
