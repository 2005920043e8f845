#include "filesizecap.h"

#include <sys/resource.h>

FileSizeCap::FileSizeCap(quint64 bytes)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    saved = limit.rlim_cur;
    limit.rlim_cur = bytes;
    active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeCap::~FileSizeCap()
{
    if (!active)
        return;
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = saved;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}
