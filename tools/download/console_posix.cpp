#include "console.h"

#include <csignal>
#include <unistd.h>

void prepareStandardOutput()
{
    // The port is closed and its lock taken away by the command itself.
    ::signal(SIGPIPE, SIG_IGN);
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}
