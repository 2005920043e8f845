#include "console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

void prepareStandardOutput()
{
    // Text mode would turn every LF into CR LF. A closed pipe fails the
    // write on Windows; there is no signal to turn off.
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

bool standardErrorIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}
