#pragma once

#include <QString>
#include <QStringList>

// Why the window cannot be shown at all, or empty when a display is there to
// show it on. Asked before the toolkit is started: the toolkit ends a process
// without one with an abort, which reads like a crash to a user who only
// typed a command over a remote shell.
QString missingDisplay(const QStringList &arguments);
