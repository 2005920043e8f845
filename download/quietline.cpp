#include "quietline.h"

QuietLine::QuietLine(int quietMs, int readTimeoutMs)
    : quietMs(quietMs), emptyReadsNeeded((quietMs + readTimeoutMs - 1) / readTimeoutMs)
{
    sinceLastByte.start();
}

void QuietLine::bytesArrived()
{
    emptyReads = 0;
    sinceLastByte.start();
}

// Both measures are needed: empty reads are what the line itself shows, but
// a read may come back early; the clock alone would count time in which a
// starved reader did not look at the line at all.
bool QuietLine::readTimedOut()
{
    ++emptyReads;
    return emptyReads >= emptyReadsNeeded && sinceLastByte.elapsed() >= quietMs;
}
