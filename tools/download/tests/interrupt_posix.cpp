#include "interrupt.h"

#include <csignal>

bool interruptProcess(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), SIGINT) == 0;
}
