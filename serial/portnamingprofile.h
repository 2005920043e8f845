#pragma once

#include <QRegularExpression>
#include <QString>

// How a system names its serial ports: which port names are listed, and the
// path a port is opened under.
struct PortNamingProfile
{
    // Names that match are listed; capture group 1 is the port number.
    QRegularExpression portNamePattern;
    // Put in front of the port name from this port number on.
    QString pathPrefix;
    int prefixFromNumber = 0;

    // COM1 to COM9 open as they are; COM10 and above need the device
    // namespace prefix.
    static PortNamingProfile windows();
    // Kernel names such as ttyUSB0, opened under /dev.
    static PortNamingProfile linuxTty();

    bool accepts(const QString &portName) const;
    // 0 when there is no number or it does not fit.
    int portNumber(const QString &portName) const;
    QString devicePath(const QString &portName) const;
};
