// The port list built from recorded SetupAPI answers, under both systems'
// naming rules.

#include "portenumerator_p.h"

#include <QTest>

#include <optional>

namespace {

QByteArray utf16Bytes(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// A REG_SZ value: the text and its terminating null.
QByteArray sz(const QString &text)
{
    return utf16Bytes(text) + QByteArray(2, '\0');
}

QByteArray multiSz(const QStringList &texts)
{
    QByteArray data;
    for (const QString &text : texts)
        data += sz(text);
    return data + QByteArray(2, '\0');
}

struct FakeDevice
{
    QHash<DWORD, QByteArray> properties;
    std::optional<QByteArray> portName; // raw value data; none: no such value
    bool keyOpens = true;
};

// Recorded answers of the system and a tally of what the listing did.
struct FakeSystem
{
    QList<FakeDevice> devices;
    bool setFails = false;
    bool portNameQueryFails = false; // the value changes between size and data query
    int setsMade = 0;
    int setsDestroyed = 0;
    int keysOpened = 0;
    int keysClosed = 0;
    QList<DWORD> propertyBufferSizes;
};

FakeSystem fake;

struct FakeKey
{
    qsizetype device;
};

HDEVINFO fakeSet()
{
    return &fake;
}

HDEVINFO fakeGetClassDevs(const GUID *classGuid, PCWSTR enumerator, HWND, DWORD flags)
{
    if (fake.setFails || !classGuid || *classGuid != GUID_DEVCLASS_PORTS || enumerator ||
        flags != DIGCF_PRESENT)
        return INVALID_HANDLE_VALUE;
    ++fake.setsMade;
    return fakeSet();
}

BOOL fakeEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data)
{
    if (set != fakeSet() || !data || data->cbSize != sizeof(SP_DEVINFO_DATA) ||
        index >= static_cast<DWORD>(fake.devices.size()))
        return FALSE;
    data->DevInst = index;
    return TRUE;
}

BOOL fakeGetProperty(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property, PDWORD, PBYTE buffer,
                     DWORD bufferSize, PDWORD requiredSize)
{
    if (set != fakeSet() || !data)
        return FALSE;
    fake.propertyBufferSizes.append(bufferSize);
    const FakeDevice &device = fake.devices.at(data->DevInst);
    const auto found = device.properties.constFind(property);
    if (found == device.properties.cend())
        return FALSE;
    const auto size = static_cast<DWORD>(found->size());
    if (requiredSize)
        *requiredSize = size;
    if (!buffer || bufferSize < size)
        return FALSE;
    memcpy(buffer, found->constData(), size);
    return TRUE;
}

HKEY fakeOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD scope, DWORD, DWORD keyType,
                       REGSAM)
{
    if (set != fakeSet() || !data || scope != DICS_FLAG_GLOBAL || keyType != DIREG_DEV ||
        !fake.devices.at(data->DevInst).keyOpens)
        return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    ++fake.keysOpened;
    return reinterpret_cast<HKEY>(new FakeKey{data->DevInst});
}

LONG fakeQueryValue(HKEY key, LPCWSTR name, LPDWORD, LPDWORD, LPBYTE data, LPDWORD size)
{
    if (QString::fromUtf16(reinterpret_cast<const char16_t *>(name)) != QLatin1String("PortName"))
        return ERROR_FILE_NOT_FOUND;
    const auto &value = fake.devices.at(reinterpret_cast<FakeKey *>(key)->device).portName;
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    const auto needed = static_cast<DWORD>(value->size());
    if (!data) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (fake.portNameQueryFails || *size < needed) {
        *size = needed + 2;
        return ERROR_MORE_DATA;
    }
    memcpy(data, value->constData(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG fakeCloseKey(HKEY key)
{
    ++fake.keysClosed;
    delete reinterpret_cast<FakeKey *>(key);
    return ERROR_SUCCESS;
}

BOOL fakeDestroy(HDEVINFO set)
{
    if (set != fakeSet())
        return FALSE;
    ++fake.setsDestroyed;
    return TRUE;
}

const SetupApiTable fakeApi{fakeGetClassDevs,  fakeEnumDeviceInfo, fakeGetProperty,
                            fakeOpenDevRegKey, fakeQueryValue,     fakeCloseKey,
                            fakeDestroy};

FakeDevice comDevice(const QString &portName, const QString &hardwareId = QString())
{
    FakeDevice device;
    device.properties[SPDRP_FRIENDLYNAME] = sz(QStringLiteral("Port of %1").arg(portName));
    device.properties[SPDRP_PHYSICAL_DEVICE_OBJECT_NAME] = sz(QStringLiteral("\\Device\\Serial0"));
    device.properties[SPDRP_ENUMERATOR_NAME] = sz(QStringLiteral("ACPI"));
    device.properties[SPDRP_HARDWAREID] =
        multiSz({hardwareId.isEmpty() ? QStringLiteral("ACPI\\PNP0501") : hardwareId});
    device.portName = sz(portName);
    return device;
}

QStringList portNames(const QList<PortInfo> &ports)
{
    QStringList names;
    for (const PortInfo &port : ports)
        names << port.portName;
    return names;
}

} // namespace

class TestPortEnumerator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowsRulesKeepComPortsInSystemOrder();
    void vendorAndProductIds_data();
    void vendorAndProductIds();
    void callersEntriesStay();
    void noDeviceSetLeavesListAlone();
    void deviceProperty_data();
    void deviceProperty();
    void portNameValue_data();
    void portNameValue();
    void linuxRulesUseDevPaths();
    void namingRules_data();
    void namingRules();
};

void TestPortEnumerator::init()
{
    fake = FakeSystem();
}

void TestPortEnumerator::cleanup()
{
    // Whatever the case, every key opened was closed once and no set leaked.
    QCOMPARE(fake.keysClosed, fake.keysOpened);
    QCOMPARE(fake.setsDestroyed, fake.setsMade);
}

void TestPortEnumerator::windowsRulesKeepComPortsInSystemOrder()
{
    FakeDevice noPortName = comDevice(QStringLiteral("COM7"));
    noPortName.portName.reset();
    FakeDevice keyMissing = comDevice(QStringLiteral("COM8"));
    keyMissing.keyOpens = false;
    FakeDevice usb = comDevice(QStringLiteral("COM10"), QStringLiteral("USB\\VID_0403&PID_6001"));
    usb.properties[SPDRP_FRIENDLYNAME] = sz(QStringLiteral("USB Serial Port (COM10)"));
    usb.properties[SPDRP_PHYSICAL_DEVICE_OBJECT_NAME] = sz(QStringLiteral("\\Device\\VCP0"));
    usb.properties[SPDRP_ENUMERATOR_NAME] = sz(QStringLiteral("FTDIBUS"));
    fake.devices = {usb,
                    comDevice(QStringLiteral("LPT1")),
                    comDevice(QStringLiteral("COM3")),
                    comDevice(QStringLiteral("com5")),
                    comDevice(QStringLiteral("COMX")),
                    noPortName,
                    keyMissing,
                    comDevice(QStringLiteral("COM9"))};

    QList<PortInfo> ports;
    enumeratePorts(ports, fakeApi, PortNamingProfile::windows());

    QCOMPARE(portNames(ports), QStringList({"COM10", "COM3", "COM9"}));
    QCOMPARE(ports[0].devicePath, QStringLiteral("\\\\.\\COM10"));
    QCOMPARE(ports[0].openName, QStringLiteral("\\\\.\\COM10"));
    QCOMPARE(ports[0].friendlyName, QStringLiteral("USB Serial Port (COM10)"));
    QCOMPARE(ports[0].physicalName, QStringLiteral("\\Device\\VCP0"));
    QCOMPARE(ports[0].enumeratorName, QStringLiteral("FTDIBUS"));
    QCOMPARE(ports[0].vendorId, 0x0403);
    QCOMPARE(ports[0].productId, 0x6001);
    for (const PortInfo &port : ports.sliced(1)) {
        QCOMPARE(port.devicePath, port.portName);
        QCOMPARE(port.openName, port.portName);
        QCOMPARE(port.friendlyName, QStringLiteral("Port of %1").arg(port.portName));
        QCOMPARE(port.physicalName, QStringLiteral("\\Device\\Serial0"));
        QCOMPARE(port.enumeratorName, QStringLiteral("ACPI"));
        QCOMPARE(port.vendorId, 0);
        QCOMPARE(port.productId, 0);
    }
    QCOMPARE(fake.keysOpened, 7);
    QCOMPARE(fake.setsDestroyed, 1);
}

void TestPortEnumerator::vendorAndProductIds_data()
{
    QTest::addColumn<QStringList>("hardwareIds");
    QTest::addColumn<qint32>("vendorId");
    QTest::addColumn<qint32>("productId");

    QTest::newRow("upper case") << QStringList{"USB\\VID_00AB&PID_00CD&REV_0100"} << 171 << 205;
    QTest::newRow("lower case") << QStringList{"usb\\vid_00ab&pid_00cd&rev_0100"} << 171 << 205;
    QTest::newRow("mixed case") << QStringList{"USB\\Vid_00aB&Pid_00Cd"} << 171 << 205;
    QTest::newRow("match inside") << QStringList{"FTDIBUS\\COMPORT&VID_0403&PID_6015"} << 0x0403
                                  << 0x6015;
    QTest::newRow("interface") << QStringList{"USB\\VID_2341&PID_0043&MI_00"} << 0x2341 << 0x43;
    QTest::newRow("no ids") << QStringList{"ACPI\\PNP0501", "*PNP0501"} << 0 << 0;
    QTest::newRow("ids in second string only")
        << QStringList{"ACPI\\PNP0501", "USB\\VID_0403&PID_6001"} << 0 << 0;
    QTest::newRow("plus instead of ampersand")
        << QStringList{"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"} << 0 << 0;
    QTest::newRow("vendor out of range") << QStringList{"USB\\VID_100000000&PID_0001"} << 0 << 1;
    QTest::newRow("vendor above signed range")
        << QStringList{"USB\\VID_80000000&PID_0002"} << 0 << 2;
    QTest::newRow("largest signed value")
        << QStringList{"USB\\VID_7FFFFFFF&PID_0"} << 0x7fffffff << 0;
    QTest::newRow("not hexadecimal") << QStringList{"USB\\VID_XYZ&PID_12"} << 0 << 0x12;
    QTest::newRow("underscore in group") << QStringList{"USB\\VID_12_3&PID_0004"} << 0 << 4;
    QTest::newRow("no hardware id") << QStringList{} << 0 << 0;
}

void TestPortEnumerator::vendorAndProductIds()
{
    QFETCH(QStringList, hardwareIds);
    QFETCH(qint32, vendorId);
    QFETCH(qint32, productId);

    FakeDevice device = comDevice(QStringLiteral("COM4"));
    if (hardwareIds.isEmpty())
        device.properties.remove(SPDRP_HARDWAREID);
    else
        device.properties[SPDRP_HARDWAREID] = multiSz(hardwareIds);
    fake.devices = {device};

    QList<PortInfo> ports;
    enumeratePorts(ports, fakeApi, PortNamingProfile::windows());

    QCOMPARE(ports.size(), 1); // whatever the ids, the port stays
    QCOMPARE(ports[0].vendorId, vendorId);
    QCOMPARE(ports[0].productId, productId);
}

void TestPortEnumerator::callersEntriesStay()
{
    fake.devices = {comDevice(QStringLiteral("COM2")), comDevice(QStringLiteral("COM1"))};
    PortInfo earlier;
    earlier.portName = QStringLiteral("COM42");
    earlier.vendorId = 7;
    QList<PortInfo> ports{earlier};

    enumeratePorts(ports, fakeApi, PortNamingProfile::windows());

    QCOMPARE(portNames(ports), QStringList({"COM42", "COM2", "COM1"}));
    QCOMPARE(ports[0].vendorId, 7);
}

void TestPortEnumerator::noDeviceSetLeavesListAlone()
{
    fake.devices = {comDevice(QStringLiteral("COM1"))};
    fake.setFails = true;
    PortInfo earlier;
    earlier.portName = QStringLiteral("COM5");
    QList<PortInfo> ports{earlier};

    enumeratePorts(ports, fakeApi, PortNamingProfile::windows());

    QCOMPARE(portNames(ports), QStringList{"COM5"});
    QCOMPARE(fake.keysOpened, 0);
    QVERIFY(fake.propertyBufferSizes.isEmpty());
    QCOMPARE(fake.setsDestroyed, 0);
}

void TestPortEnumerator::deviceProperty_data()
{
    QTest::addColumn<std::optional<QByteArray>>("data");
    QTest::addColumn<QString>("text");

    QTest::newRow("terminated") << std::optional(sz("USB Serial Port (COM3)"))
                                << "USB Serial Port (COM3)";
    QTest::newRow("no terminating null")
        << std::optional(utf16Bytes("Communications Port")) << "Communications Port";
    QTest::newRow("odd byte count") << std::optional(utf16Bytes("ACPI") + 'x') << "ACPI";
    QTest::newRow("multi-string") << std::optional(multiSz({"USB\\VID_1&PID_2", "USB\\VID_1"}))
                                  << "USB\\VID_1&PID_2";
    QTest::newRow("non-ASCII") << std::optional(sz(QStringLiteral("Schnittstelle \u00fc (COM1)")))
                               << QStringLiteral("Schnittstelle \u00fc (COM1)");
    QTest::newRow("empty text") << std::optional(sz(QString())) << QString();
    QTest::newRow("missing") << std::optional<QByteArray>() << QString();
}

void TestPortEnumerator::deviceProperty()
{
    QFETCH(std::optional<QByteArray>, data);
    QFETCH(QString, text);

    FakeDevice device;
    if (data)
        device.properties[SPDRP_FRIENDLYNAME] = *data;
    fake.devices = {device};
    SP_DEVINFO_DATA record{};
    record.cbSize = sizeof(record);
    QVERIFY(fakeEnumDeviceInfo(fakeSet(), 0, &record));

    QCOMPARE(readDeviceProperty(fakeApi, fakeSet(), &record, SPDRP_FRIENDLYNAME), text);
    // A size query, then a buffer of exactly the size reported.
    if (data)
        QCOMPARE(fake.propertyBufferSizes, QList<DWORD>({0, static_cast<DWORD>(data->size())}));
    else
        QCOMPARE(fake.propertyBufferSizes, QList<DWORD>{0});
}

void TestPortEnumerator::portNameValue_data()
{
    QTest::addColumn<std::optional<QByteArray>>("value");
    QTest::addColumn<bool>("queryFails");
    QTest::addColumn<QString>("portName");

    QTest::newRow("terminated") << std::optional(sz("COM3")) << false << "COM3";
    QTest::newRow("no terminating null") << std::optional(utf16Bytes("COM12")) << false << "COM12";
    QTest::newRow("text after null") << std::optional(sz("COM4") + sz("COM5")) << false << "COM4";
    QTest::newRow("missing") << std::optional<QByteArray>() << false << QString();
    QTest::newRow("changed between queries") << std::optional(sz("COM3")) << true << QString();
}

void TestPortEnumerator::portNameValue()
{
    QFETCH(std::optional<QByteArray>, value);
    QFETCH(bool, queryFails);
    QFETCH(QString, portName);

    FakeDevice device;
    device.portName = value;
    fake.devices = {device};
    fake.portNameQueryFails = queryFails;
    SP_DEVINFO_DATA record{};
    record.cbSize = sizeof(record);
    QVERIFY(fakeEnumDeviceInfo(fakeSet(), 0, &record));

    HKEY key = fakeOpenDevRegKey(fakeSet(), &record, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    QCOMPARE(readPortName(fakeApi, key), portName);
    QCOMPARE(fake.keysClosed, 1);
    QCOMPARE(readPortName(fakeApi, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)), QString());
    QCOMPARE(fake.keysClosed, 1);
}

void TestPortEnumerator::linuxRulesUseDevPaths()
{
    fake.devices = {comDevice(QStringLiteral("ttyUSB0")), comDevice(QStringLiteral("ttyS10")),
                    comDevice(QStringLiteral("tty0")),    comDevice(QStringLiteral("console")),
                    comDevice(QStringLiteral("ttyUSB")),  comDevice(QStringLiteral("ttyACM1x")),
                    comDevice(QStringLiteral("COM1")),    comDevice(QStringLiteral("ttyACM0"))};

    QList<PortInfo> ports;
    enumeratePorts(ports, fakeApi, PortNamingProfile::linuxTty());

    QCOMPARE(portNames(ports), QStringList({"ttyUSB0", "ttyS10", "ttyACM0"}));
    for (const PortInfo &port : std::as_const(ports)) {
        QCOMPARE(port.devicePath, QStringLiteral("/dev/") + port.portName);
        QCOMPARE(port.openName, port.devicePath);
    }
}

void TestPortEnumerator::namingRules_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("devicePath");

    QTest::newRow("COM1") << true << "COM1" << true << "COM1";
    QTest::newRow("COM09") << true << "COM09" << true << "COM09";
    QTest::newRow("COM256") << true << "COM256" << true << "\\\\.\\COM256";
    // Digits that do not fit count as no number: no prefix.
    QTest::newRow("COM99999999999") << true << "COM99999999999" << true << "COM99999999999";
    QTest::newRow("text after digits") << true << "COM12A" << true << "\\\\.\\COM12A";
    QTest::newRow("leading space") << true << " COM1" << false << " COM1";
    QTest::newRow("empty") << true << "" << false << "";
    QTest::newRow("ttyAMA0") << false << "ttyAMA0" << true << "/dev/ttyAMA0";
    QTest::newRow("ttyS1 under Windows") << true << "ttyS1" << false << "ttyS1";
    QTest::newRow("COM1 under Linux") << false << "COM1" << false << "/dev/COM1";
    QTest::newRow("pts name") << false << "pts/3" << false << "/dev/pts/3";
}

void TestPortEnumerator::namingRules()
{
    QFETCH(bool, windows);
    QFETCH(QString, portName);
    QFETCH(bool, accepted);
    QFETCH(QString, devicePath);

    const PortNamingProfile profile =
        windows ? PortNamingProfile::windows() : PortNamingProfile::linuxTty();
    QCOMPARE(profile.accepts(portName), accepted);
    QCOMPARE(profile.devicePath(portName), devicePath);
}

QTEST_GUILESS_MAIN(TestPortEnumerator)
#include "tst_portenumerator.moc"
