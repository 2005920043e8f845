#include "portchoice.h"

int choosePort(const QStringList &ports, const QString &current, const QString &stored)
{
    if (ports.isEmpty())
        return -1;
    if (const qsizetype i = current.isEmpty() ? -1 : ports.indexOf(current); i >= 0)
        return int(i);
    if (const qsizetype i = stored.isEmpty() ? -1 : ports.indexOf(stored); i >= 0)
        return int(i);
    return 0;
}
