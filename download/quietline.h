#pragma once

#include <QElapsedTimer>

// Tells a pause in a transfer from its end. The port is read with a short
// time-out, so a tester that pauses between blocks, or a line held back by a
// busy machine, gives many empty reads in a row; the transfer is over only
// when the reads have found the line quiet for the whole quiet time since the
// last byte.
class QuietLine
{
public:
    QuietLine(int quietMs, int readTimeoutMs);

    // A read brought bytes: the count starts again.
    void bytesArrived();
    // A read brought nothing. True once the line has been quiet for the
    // quiet time, counted in empty reads and on the clock alike.
    bool readTimedOut();

private:
    const int quietMs;
    const int emptyReadsNeeded;
    int emptyReads = 0;
    QElapsedTimer sinceLastByte;
};
