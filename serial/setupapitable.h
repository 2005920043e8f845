#pragma once

#include "win32api.h"

#ifdef _WIN32
#include <setupapi.h>
// devguid.h only declares the class GUIDs unless initguid.h comes first.
// clang-format off
#include <initguid.h>
#include <devguid.h>
// clang-format on
#endif

// The SetupAPI and registry calls that list the ports. Reaching them through
// a table lets the listing run against recorded device data; a
// default-constructed table calls the system.
struct SetupApiTable
{
    decltype(&SetupDiGetClassDevsW) getClassDevs = &SetupDiGetClassDevsW;
    decltype(&SetupDiEnumDeviceInfo) enumDeviceInfo = &SetupDiEnumDeviceInfo;
    decltype(&SetupDiGetDeviceRegistryPropertyW) getDeviceRegistryProperty =
        &SetupDiGetDeviceRegistryPropertyW;
    decltype(&SetupDiOpenDevRegKey) openDevRegKey = &SetupDiOpenDevRegKey;
    decltype(&RegQueryValueExW) queryValue = &RegQueryValueExW;
    decltype(&RegCloseKey) closeKey = &RegCloseKey;
    decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList = &SetupDiDestroyDeviceInfoList;
};
