#pragma once

#include "portinfo.h"

#include <QString>

// Lets a technician with several adapters tell the ports apart: the adapter's
// name, and on a second line its bus and VID:PID where the system knows them.
QString portToolTip(const PortInfo &port);
