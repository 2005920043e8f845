#include "setupapi_posix.h"

#include "ttyportscan.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

namespace {

struct PortDeviceSet
{
    QList<TtyPort> ports;
};

struct RegistryKey
{
    QString portName;
};

// Handles are looked up among the live ones, so that a stale or foreign
// handle fails with ERROR_INVALID_HANDLE instead of being dereferenced.
template<typename T> class LiveObjects
{
public:
    void *adopt(std::unique_ptr<T> object)
    {
        std::lock_guard lock(m_mutex);
        m_live.insert(object.get());
        return object.release();
    }

    T *find(const void *handle)
    {
        std::lock_guard lock(m_mutex);
        return m_live.count(handle) ? static_cast<T *>(const_cast<void *>(handle)) : nullptr;
    }

    bool destroy(const void *handle)
    {
        std::unique_ptr<T> doomed;
        std::lock_guard lock(m_mutex);
        if (m_live.erase(handle) == 0)
            return false;
        doomed.reset(static_cast<T *>(const_cast<void *>(handle)));
        return true;
    }

private:
    std::mutex m_mutex;
    std::unordered_set<const void *> m_live;
};

LiveObjects<PortDeviceSet> &deviceInfoSets()
{
    static LiveObjects<PortDeviceSet> sets;
    return sets;
}

LiveObjects<RegistryKey> &registryKeys()
{
    static LiveObjects<RegistryKey> keys;
    return keys;
}

HKEY invalidKey()
{
    return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// The port a device record stands for, or null with the last error set.
const TtyPort *portOf(HDEVINFO set, const SP_DEVINFO_DATA *data)
{
    const PortDeviceSet *devices = deviceInfoSets().find(set);
    if (!devices) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return nullptr;
    }
    if (data->Reserved != reinterpret_cast<ULONG_PTR>(devices) || data->DevInst == 0 ||
        data->DevInst > static_cast<DWORD>(devices->ports.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &devices->ports.at(data->DevInst - 1);
}

// A property's data as the registry holds it, with its terminating null
// characters; empty if the device does not have the property.
std::u16string propertyData(const TtyPort &port, DWORD property, DWORD &type)
{
    type = REG_SZ;
    QString text;
    switch (property) {
    case SPDRP_FRIENDLYNAME:
        text = port.friendlyName;
        break;
    case SPDRP_PHYSICAL_DEVICE_OBJECT_NAME:
        text = port.physicalName;
        break;
    case SPDRP_ENUMERATOR_NAME:
        text = port.enumeratorName;
        break;
    case SPDRP_HARDWAREID: {
        type = REG_MULTI_SZ;
        std::u16string list;
        for (const QString &id : port.hardwareIds) {
            if (!id.isEmpty())
                list += id.toStdU16String() + u'\0';
        }
        return list.empty() ? list : list + u'\0';
    }
    default:
        break;
    }
    return text.isEmpty() ? std::u16string() : text.toStdU16String() + u'\0';
}

bool isPortNameValue(LPCWSTR name)
{
    return name &&
           QString::fromUtf16(name).compare(QLatin1String("PortName"), Qt::CaseInsensitive) == 0;
}

} // namespace

HDEVINFO SetupDiGetClassDevsW(const GUID *ClassGuid, PCWSTR Enumerator, HWND hwndParent,
                              DWORD Flags)
{
    Q_UNUSED(hwndParent);
    if (Flags & DIGCF_DEVICEINTERFACE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    const bool allClasses = Flags & DIGCF_ALLCLASSES;
    if (!ClassGuid && !allClasses) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Ports are the only class this system knows; others are empty. Every
    // port known is present, so DIGCF_PRESENT changes nothing.
    auto set = std::make_unique<PortDeviceSet>();
    if (allClasses || *ClassGuid == GUID_DEVCLASS_PORTS) {
        if (!scanTtyPorts(set->ports)) {
            SetLastError(ERROR_GEN_FAILURE);
            return INVALID_HANDLE_VALUE;
        }
    }
    if (Enumerator) {
        const QString wanted = QString::fromUtf16(Enumerator);
        set->ports.removeIf([&wanted](const TtyPort &port) {
            return port.enumeratorName.compare(wanted, Qt::CaseInsensitive) != 0;
        });
    }
    SetLastError(ERROR_SUCCESS);
    return deviceInfoSets().adopt(std::move(set));
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                           PSP_DEVINFO_DATA DeviceInfoData)
{
    const auto *devices = deviceInfoSets().find(DeviceInfoSet);
    if (!devices)
        return fail(ERROR_INVALID_HANDLE);
    if (!DeviceInfoData || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return fail(ERROR_INVALID_USER_BUFFER);
    if (MemberIndex >= static_cast<DWORD>(devices->ports.size()))
        return fail(ERROR_NO_MORE_ITEMS);
    DeviceInfoData->ClassGuid = GUID_DEVCLASS_PORTS;
    DeviceInfoData->DevInst = MemberIndex + 1;
    DeviceInfoData->Reserved = reinterpret_cast<ULONG_PTR>(devices);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                       DWORD Property, PDWORD PropertyRegDataType,
                                       PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize)
{
    const TtyPort *port = portOf(DeviceInfoSet, DeviceInfoData);
    if (!port)
        return FALSE;
    if (Property >= SPDRP_MAXIMUM_PROPERTY)
        return fail(ERROR_INVALID_REG_PROPERTY);
    if (!PropertyBuffer && PropertyBufferSize != 0)
        return fail(ERROR_INVALID_USER_BUFFER);

    DWORD type = REG_NONE;
    const std::u16string data = propertyData(*port, Property, type);
    if (data.empty())
        return fail(ERROR_INVALID_DATA);
    const auto size = static_cast<DWORD>(data.size() * sizeof(char16_t));
    if (RequiredSize)
        *RequiredSize = size;
    if (PropertyRegDataType)
        *PropertyRegDataType = type;
    if (PropertyBufferSize < size)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(PropertyBuffer, data.data(), size);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

HKEY SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope,
                          DWORD HwProfile, DWORD KeyType, REGSAM samDesired)
{
    Q_UNUSED(HwProfile);
    Q_UNUSED(samDesired);
    const TtyPort *port = portOf(DeviceInfoSet, DeviceInfoData);
    if (!port)
        return invalidKey();
    if ((Scope != DICS_FLAG_GLOBAL && Scope != DICS_FLAG_CONFIGSPECIFIC) ||
        (KeyType != DIREG_DEV && KeyType != DIREG_DRV)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return invalidKey();
    }
    // The driver's key exists but holds nothing this system knows of.
    auto key = std::make_unique<RegistryKey>();
    if (KeyType == DIREG_DEV)
        key->portName = port->kernelName;
    SetLastError(ERROR_SUCCESS);
    return static_cast<HKEY>(registryKeys().adopt(std::move(key)));
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    if (!deviceInfoSets().destroy(DeviceInfoSet))
        return fail(ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData)
{
    const RegistryKey *key = registryKeys().find(hKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    if (!isPortNameValue(lpValueName) || key->portName.isEmpty())
        return ERROR_FILE_NOT_FOUND;

    const auto size = static_cast<DWORD>((key->portName.size() + 1) * sizeof(char16_t));
    if (lpType)
        *lpType = REG_SZ;
    if (!lpData) {
        if (lpcbData)
            *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    // QString's data always ends with a null character.
    std::memcpy(lpData, key->portName.utf16(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    return registryKeys().destroy(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
