#include "filesizelimit.h"

// A write past a size limit fails on Windows without any signal.
void letWritesFailAtFileSizeLimit() {}
