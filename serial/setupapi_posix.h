#pragma once

// The SetupAPI and registry subset that lists the present serial ports, with
// the Windows layout and size semantics, implemented over libudev. Only
// serial/ includes this, through win32api.h.
//
// The Ports class holds every tty that has a parent device, except serial
// ports without a UART behind them, ordered naturally by kernel name. The
// device's hardware key holds one value, "PortName": the kernel name.

#include "win32api_posix.h"

using ULONG_PTR = std::uintptr_t;
using LPBYTE = BYTE *;
using PBYTE = BYTE *;
using PDWORD = DWORD *;
using PCWSTR = const WCHAR *;
using REGSAM = DWORD;
struct HWND__;
using HWND = HWND__ *;
struct HKEY__;
using HKEY = HKEY__ *;
using HDEVINFO = void *;

struct GUID
{
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend constexpr bool operator==(const GUID &, const GUID &) = default;
};

inline constexpr GUID GUID_DEVCLASS_PORTS = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

struct SP_DEVINFO_DATA
{
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA *;

static_assert(sizeof(GUID) == 16);
static_assert(offsetof(SP_DEVINFO_DATA, ClassGuid) == 4);
static_assert(offsetof(SP_DEVINFO_DATA, DevInst) == 20);
static_assert(offsetof(SP_DEVINFO_DATA, Reserved) == 24);

constexpr DWORD DIGCF_DEFAULT = 0x01;
constexpr DWORD DIGCF_PRESENT = 0x02;
constexpr DWORD DIGCF_ALLCLASSES = 0x04;
constexpr DWORD DIGCF_PROFILE = 0x08;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;

constexpr DWORD SPDRP_DEVICEDESC = 0;
constexpr DWORD SPDRP_HARDWAREID = 1;
constexpr DWORD SPDRP_FRIENDLYNAME = 12;
constexpr DWORD SPDRP_PHYSICAL_DEVICE_OBJECT_NAME = 14;
constexpr DWORD SPDRP_ENUMERATOR_NAME = 22;
constexpr DWORD SPDRP_MAXIMUM_PROPERTY = 37;

constexpr DWORD DICS_FLAG_GLOBAL = 1;
constexpr DWORD DICS_FLAG_CONFIGSPECIFIC = 2;
constexpr DWORD DIREG_DEV = 1;
constexpr DWORD DIREG_DRV = 2;
constexpr REGSAM KEY_READ = 0x20019;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
constexpr DWORD ERROR_INVALID_REG_PROPERTY = 0xe0000209u;

HDEVINFO SetupDiGetClassDevsW(const GUID *ClassGuid, PCWSTR Enumerator, HWND hwndParent,
                              DWORD Flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                           PSP_DEVINFO_DATA DeviceInfoData);
BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                       DWORD Property, PDWORD PropertyRegDataType,
                                       PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize);
HKEY SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope,
                          DWORD HwProfile, DWORD KeyType, REGSAM samDesired);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);
LONG RegCloseKey(HKEY hKey);
