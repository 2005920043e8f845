#include "portenumerator_p.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace {

// UTF-16 text up to the first null character or the end of the data.
QString textUpToNull(const std::vector<char16_t> &buffer, DWORD bytes)
{
    const auto end = buffer.begin() + std::min<std::size_t>(bytes / 2, buffer.size());
    const auto null = std::find(buffer.begin(), end, u'\0');
    return QString::fromUtf16(buffer.data(), null - buffer.begin());
}

qint32 hexOrZero(const QString &digits)
{
    bool ok = false;
    const qint32 value = digits.toInt(&ok, 16);
    return ok ? value : 0;
}

void parseUsbIds(const QString &hardwareId, PortInfo &info)
{
    static const QRegularExpression pattern(QStringLiteral("VID_(\\w+)&PID_(\\w+)"));
    const QRegularExpressionMatch match = pattern.match(hardwareId.toUpper());
    if (!match.hasMatch())
        return;
    info.vendorId = hexOrZero(match.captured(1));
    info.productId = hexOrZero(match.captured(2));
}

} // namespace

QString readDeviceProperty(const SetupApiTable &api, HDEVINFO set, PSP_DEVINFO_DATA device,
                           DWORD property)
{
    DWORD required = 0;
    if (api.getDeviceRegistryProperty(set, device, property, nullptr, nullptr, 0, &required) ||
        required == 0)
        return {};
    std::vector<char16_t> buffer((required + 1) / 2);
    if (!api.getDeviceRegistryProperty(set, device, property, nullptr,
                                       reinterpret_cast<PBYTE>(buffer.data()), required, nullptr))
        return {};
    return textUpToNull(buffer, required);
}

QString readPortName(const SetupApiTable &api, HKEY key)
{
    if (!key || key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE))
        return {};
    static const WCHAR valueName[] = {'P', 'o', 'r', 't', 'N', 'a', 'm', 'e', 0};
    QString name;
    DWORD size = 0;
    if (api.queryValue(key, valueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        std::vector<char16_t> buffer((size + 1) / 2);
        DWORD filled = size;
        if (api.queryValue(key, valueName, nullptr, nullptr,
                           reinterpret_cast<LPBYTE>(buffer.data()), &filled) == ERROR_SUCCESS)
            name = textUpToNull(buffer, std::min(filled, size));
    }
    api.closeKey(key);
    return name;
}

void enumeratePorts(QList<PortInfo> &ports, const SetupApiTable &api,
                    const PortNamingProfile &profile)
{
    HDEVINFO set = api.getClassDevs(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; api.enumDeviceInfo(set, index, &device); ++index) {
        PortInfo info;
        info.friendlyName = readDeviceProperty(api, set, &device, SPDRP_FRIENDLYNAME);
        info.physicalName =
            readDeviceProperty(api, set, &device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
        info.enumeratorName = readDeviceProperty(api, set, &device, SPDRP_ENUMERATOR_NAME);
        const QString hardwareId = readDeviceProperty(api, set, &device, SPDRP_HARDWAREID);

        info.portName = readPortName(
            api, api.openDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
        info.devicePath = profile.devicePath(info.portName);
        info.openName = info.devicePath;
        parseUsbIds(hardwareId, info);

        // Printer ports share the class; devices without a port name have no
        // COM port to open.
        if (profile.accepts(info.portName))
            ports.append(info);
    }
    api.destroyDeviceInfoList(set);
}
