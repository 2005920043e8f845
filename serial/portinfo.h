#pragma once

#include <QString>
#include <QtGlobal>

// One serial port present on the system.
struct PortInfo
{
    QString portName;       // shown to the user and stored as the choice: COM3, ttyUSB0
    QString devicePath;     // the name to hand to the file-open call
    QString openName;       // what the window opens; always equal to devicePath
    QString physicalName;   // the system's physical device object name
    QString friendlyName;   // what the system's device manager shows
    QString enumeratorName; // the bus that found the device: USB, PCI, ...
    qint32 vendorId = 0;
    qint32 productId = 0;
};
