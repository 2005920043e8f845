#include "win32api.h"

int cvLastSystemErrorNumber()
{
    return static_cast<int>(GetLastError());
}
