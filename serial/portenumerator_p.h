#pragma once

#include "portinfo.h"
#include "portnamingprofile.h"
#include "setupapitable.h"

#include <QList>
#include <QString>

// enumeratePorts() with the system calls and naming rules given.
void enumeratePorts(QList<PortInfo> &ports, const SetupApiTable &api,
                    const PortNamingProfile &profile);

// The text of one device property: the first string of a multi-string, the
// whole data if it lacks a null; empty if the device has no such property.
QString readDeviceProperty(const SetupApiTable &api, HDEVINFO set, PSP_DEVINFO_DATA device,
                           DWORD property);

// The text of the key's value "PortName", or empty. Closes the key.
QString readPortName(const SetupApiTable &api, HKEY key);
