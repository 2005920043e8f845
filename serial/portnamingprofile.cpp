#include "portnamingprofile.h"

PortNamingProfile PortNamingProfile::windows()
{
    return {QRegularExpression(QStringLiteral("^COM(\\d+)")), QStringLiteral("\\\\.\\"), 10};
}

PortNamingProfile PortNamingProfile::linuxTty()
{
    return {QRegularExpression(QStringLiteral("^tty[A-Za-z]+(\\d+)$")), QStringLiteral("/dev/"), 0};
}

bool PortNamingProfile::accepts(const QString &portName) const
{
    return portNamePattern.match(portName).hasMatch();
}

int PortNamingProfile::portNumber(const QString &portName) const
{
    const QRegularExpressionMatch match = portNamePattern.match(portName);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const int number = match.captured(1).toInt(&ok, 10);
    return ok ? number : 0;
}

QString PortNamingProfile::devicePath(const QString &portName) const
{
    return portNumber(portName) >= prefixFromNumber ? pathPrefix + portName : portName;
}
