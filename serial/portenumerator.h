#pragma once

#include "portinfo.h"

#include <QList>

// Appends one PortInfo per serial port present, in the system's enumeration
// order. The list is not cleared first and not sorted.
void enumeratePorts(QList<PortInfo> &ports);
