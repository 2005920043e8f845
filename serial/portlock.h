#pragma once

#include <string>
#include <sys/types.h>

namespace Cv {

// The lock file terminal programs agree on for a serial port
// (/var/lock/LCK..ttyUSB0, the holder's process number as text). It reaches
// the programs of other users, which a look into /proc cannot see.
// CV_LOCK_DIR names another folder for it.
class PortLock
{
public:
    enum class Result {
        Taken,
        HeldByOther, // a live process of another program holds the port
        NotPossible, // no lock folder we may write to: the port goes without one
    };

    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;

    // Takes the lock of the device at path; a lock left by a process that
    // has ended is removed first.
    Result take(const char *path);
    // Removes the lock file, as long as it is still ours.
    void release();

    // The live process holding the lock of the device at path, 0 for none.
    static pid_t holder(const char *path);

private:
    std::string file;
};

} // namespace Cv
