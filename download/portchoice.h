#pragma once

#include <QString>
#include <QStringList>

// The entry to select after the port list was read again: the user's current
// choice while its port is present, else the port stored at the last exit,
// else the first. -1 for an empty list.
int choosePort(const QStringList &ports, const QString &current, const QString &stored);
