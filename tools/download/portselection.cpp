#include "portselection.h"

#include "porttooltip.h"

#include <QStringList>

PortSelection selectPort(const QList<PortInfo> &ports, const QString &requested)
{
    if (requested.isEmpty()) {
        if (ports.size() == 1)
            return {ports.constFirst().portName, ports.constFirst().openName, {}};
        if (ports.isEmpty())
            return {{}, {}, QStringLiteral("No serial port found: check cable, power and driver.")};
        return {{},
                {},
                QStringLiteral("Several ports are present; choose one with --port:\n") +
                    portListing(ports)};
    }
    // Windows users write com5 as often as COM5; tty names never differ
    // only in case.
    for (const PortInfo &port : ports) {
        if (port.portName.compare(requested, Qt::CaseInsensitive) == 0 ||
            port.openName.compare(requested, Qt::CaseInsensitive) == 0)
            return {port.portName, port.openName, {}};
    }
    // A port the list does not show (a terminal, an adapter it does not
    // know): the open says whether it is there.
    const qsizetype slash =
        qMax(requested.lastIndexOf(QLatin1Char('/')), requested.lastIndexOf(QLatin1Char('\\')));
    return {requested.mid(slash + 1), requested, {}};
}

QString portListing(const QList<PortInfo> &ports)
{
    QString listing;
    for (const PortInfo &port : ports) {
        QStringList fields{port.portName};
        const QStringList tip = portToolTip(port).split(QLatin1Char('\n'));
        for (const QString &line : tip) {
            if (line != port.portName)
                fields << line;
        }
        listing += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return listing;
}
