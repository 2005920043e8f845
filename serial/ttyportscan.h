#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A serial port as the device library describes it, in the terms of the
// Windows device properties that the port list reads.
struct TtyPort
{
    QString kernelName;     // ttyUSB0
    QString friendlyName;   // FT232R USB UART (ttyUSB0)
    QString physicalName;   // sysfs path of the hardware device
    QString enumeratorName; // USB, PCI, PNP, PLATFORM
    QStringList hardwareIds;
};

// Lists the ttys that stand for a real serial port, sorted with
// kernelNameLess(). False if the device library cannot be asked at all.
bool scanTtyPorts(QList<TtyPort> &ports);

// ttyS2 before ttyS10: digit runs compare by value, the rest by character.
bool kernelNameLess(const QString &a, const QString &b);
