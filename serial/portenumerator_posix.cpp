#include "portenumerator.h"

#include "portenumerator_p.h"

void enumeratePorts(QList<PortInfo> &ports)
{
    enumeratePorts(ports, SetupApiTable(), PortNamingProfile::linuxTty());
}
