#include "porttooltip.h"

QString portToolTip(const PortInfo &port)
{
    QString tip = port.friendlyName.isEmpty() ? port.portName : port.friendlyName;
    if (port.vendorId != 0 || port.productId != 0) {
        const QString ids = QStringLiteral("%1:%2")
                                .arg(port.vendorId, 4, 16, QLatin1Char('0'))
                                .arg(port.productId, 4, 16, QLatin1Char('0'));
        tip += QLatin1Char('\n');
        if (!port.enumeratorName.isEmpty())
            tip += port.enumeratorName + QLatin1Char(' ');
        tip += ids;
    }
    return tip;
}
