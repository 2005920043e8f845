#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace Cv {

// A process that has a port open.
struct PortHolder
{
    pid_t pid = 0;
    std::string command; // its short name, such as cat
};

// The other processes that have the device at path open, as far as this user
// may look into them, lowest process number first. A serial port opened
// without a lock can be shared unnoticed, and the bytes each reader takes are
// lost to the others. This process and the processes that started it are
// left out: they hand the port on rather than compete for it.
std::vector<PortHolder> findPortHolders(const char *path);

// The node the links at path end in: the adapter behind
// /dev/serial/by-id/..., the pseudo-terminal behind a test bed's stand-in.
std::string deviceNodePath(const char *path);

} // namespace Cv
