#pragma once

#include <QtGlobal>

// Interrupts a process as Ctrl+C in its terminal would. False where that
// cannot be done from outside its console (Windows).
bool interruptProcess(qint64 pid);
