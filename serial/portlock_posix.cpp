#include "portlock.h"

#include "portholders.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace Cv {

namespace {

// Named after the device's node, as other programs name the adapter behind a
// /dev/serial/by-id link. A pseudo-terminal has no name of its own that
// others would lock by, so it keeps the one it was opened as (a test bed's
// ttyUSB0, a virtual port's link).
std::string lockFileOf(const char *path)
{
    const char *dir = std::getenv("CV_LOCK_DIR");
    std::string name = deviceNodePath(path);
    struct statfs fs;
    if (::statfs(name.c_str(), &fs) == 0 && fs.f_type == DEVPTS_SUPER_MAGIC)
        name = path;
    name = name.substr(name.rfind('/') + 1);
    return std::string(dir && *dir ? dir : "/var/lock") + "/LCK.." + name;
}

struct Content
{
    enum { Absent, Present, Unreadable } state = Absent;
    pid_t pid = 0; // 0 when the text is not a process number
};

Content readLockFile(const std::string &file)
{
    int fd;
    do {
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1)
        return {errno == ENOENT ? Content::Absent : Content::Unreadable};
    char text[64];
    ssize_t n;
    do {
        n = ::read(fd, text, sizeof text - 1);
    } while (n == -1 && errno == EINTR);
    ::close(fd);
    if (n < 0)
        return {Content::Unreadable};
    text[n] = '\0';

    // "%10d\n": blanks, digits, a line end, and nothing else.
    const char *p = text;
    while (*p == ' ')
        ++p;
    char *end = nullptr;
    errno = 0;
    const long pid = std::strtol(p, &end, 10);
    if (end == p || errno != 0 || pid <= 0 || pid > INT32_MAX)
        return {Content::Present};
    while (*end == '\n' || *end == '\r' || *end == ' ')
        ++end;
    return {Content::Present, *end == '\0' ? static_cast<pid_t>(pid) : 0};
}

bool isAlive(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The lock of a live process other than this one. Ours is stale when this
// handle has just won the device's own lock: a process of a former life with
// our number, which containers hand out again after a restart.
pid_t liveHolder(const Content &content)
{
    return content.state == Content::Present && content.pid != ::getpid() && isAlive(content.pid)
               ? content.pid
               : 0;
}

enum class Created { Yes, Exists, Failed };

// Written in full under another name and linked into place, so no reader
// ever sees a half-written lock and takes it for a stale one.
Created createLockFile(const std::string &file)
{
    std::string temporary = file + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd == -1)
        return Created::Failed;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    bool written = ::fchmod(fd, 0644) == 0;
    for (int done = 0; written && done < length;) {
        const ssize_t n = ::write(fd, text + done, static_cast<std::size_t>(length - done));
        if (n > 0)
            done += static_cast<int>(n);
        else if (n == -1 && errno != EINTR)
            written = false;
    }
    ::close(fd);
    int rc = -1;
    int err = 0;
    if (written) {
        rc = ::link(temporary.c_str(), file.c_str());
        err = errno;
    }
    ::unlink(temporary.c_str());
    if (rc == 0)
        return Created::Yes;
    return err == EEXIST ? Created::Exists : Created::Failed;
}

} // namespace

PortLock::Result PortLock::take(const char *path)
{
    release();
    const std::string lock = lockFileOf(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Content content = readLockFile(lock);
        if (liveHolder(content) != 0)
            return Result::HeldByOther;
        if (content.state == Content::Unreadable)
            return Result::NotPossible;
        if (content.state == Content::Present && ::unlink(lock.c_str()) == -1 && errno != ENOENT)
            return Result::NotPossible;
        switch (createLockFile(lock)) {
        case Created::Yes:
            file = lock;
            return Result::Taken;
        case Created::Exists:
            continue; // another program was quicker: look at its lock
        case Created::Failed:
            return Result::NotPossible;
        }
    }
    return liveHolder(readLockFile(lock)) != 0 ? Result::HeldByOther : Result::NotPossible;
}

void PortLock::release()
{
    if (file.empty())
        return;
    // Someone may have taken it for stale and put their own in its place.
    if (readLockFile(file).pid == ::getpid())
        ::unlink(file.c_str());
    file.clear();
}

pid_t PortLock::holder(const char *path)
{
    return liveHolder(readLockFile(lockFileOf(path)));
}

} // namespace Cv
