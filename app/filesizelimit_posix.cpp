#include "filesizelimit.h"

#include <csignal>

void letWritesFailAtFileSizeLimit()
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);
}
