#pragma once

#include "portinfo.h"

#include <QList>
#include <QString>

// The port a download opens: what it is called for the user, and what to open.
struct PortSelection
{
    QString name;     // ttyUSB0, COM5
    QString openName; // empty when none was chosen: error says why
    QString error;
};

// The port named (its name in the list or its open name; one not in the list
// is opened as it is named), else the only port present.
PortSelection selectPort(const QList<PortInfo> &ports, const QString &requested);

// One line a port: its name, then what the window's tooltip shows, each
// field after a tab.
QString portListing(const QList<PortInfo> &ports);
