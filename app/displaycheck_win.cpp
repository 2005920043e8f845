#include "displaycheck.h"

// A Windows session always has its desktop.
QString missingDisplay(const QStringList &)
{
    return {};
}
