#include "portholders.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace Cv {

namespace {

// A descriptor closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd) : fd(fd) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd; }

private:
    int fd;
};

std::string readSmallFile(const char *path)
{
    int raw;
    do {
        raw = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (raw == -1 && errno == EINTR);
    const Fd fd(raw);
    if (fd.get() < 0)
        return {};
    char buffer[512];
    ssize_t n;
    do {
        n = ::read(fd.get(), buffer, sizeof buffer - 1);
    } while (n == -1 && errno == EINTR);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

pid_t parentOf(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    const std::string status = readSmallFile(path.c_str());
    const std::size_t at = status.find("\nPPid:");
    if (at == std::string::npos)
        return 0;
    return static_cast<pid_t>(std::strtol(status.c_str() + at + 6, nullptr, 10));
}

std::set<pid_t> selfAndAncestors()
{
    std::set<pid_t> chain;
    for (pid_t pid = ::getpid(); pid > 0 && chain.insert(pid).second; pid = parentOf(pid)) {
    }
    return chain;
}

} // namespace

std::string deviceNodePath(const char *path)
{
    std::string current = path;
    for (int hops = 0; hops < 16; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
        if (n <= 0)
            break;
        std::string next(target, static_cast<std::size_t>(n));
        if (next.front() != '/')
            next = current.substr(0, current.rfind('/') + 1) + next;
        current = next;
    }
    return current;
}

namespace {

// A device node as the kernel knows it. Pseudo-terminals are numbered per
// devpts instance, so a container's /dev/pts/3 has the same device numbers
// as ours and is another terminal all the same: the instance decides too.
struct DeviceId
{
    dev_t device = 0;
    dev_t instance = 0;
    bool pseudoTerminal = false;
};

bool sameDevice(const DeviceId &port, const struct stat &st)
{
    return S_ISCHR(st.st_mode) && st.st_rdev == port.device &&
           (!port.pseudoTerminal || st.st_dev == port.instance);
}

bool holdsDevice(const char *pid, const DeviceId &port)
{
    const std::string fdPath = std::string("/proc/") + pid + "/fd";
    DIR *dir = ::opendir(fdPath.c_str());
    // Another user's process, or one that has just ended.
    if (!dir)
        return false;
    bool holds = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        // Through the descriptor's link to the open file itself, wherever it
        // lies: the link's text names it in the holder's own mount namespace.
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && sameDevice(port, st)) {
            holds = true;
            break;
        }
    }
    ::closedir(dir);
    return holds;
}

} // namespace

std::vector<PortHolder> findPortHolders(const char *path)
{
    std::vector<PortHolder> holders;
    // A test bed gives its stand-in node made-up device numbers; the node
    // its link ends in has the kernel's.
    struct stat node;
    struct statfs fs;
    const std::string devicePath = deviceNodePath(path);
    if (::stat(devicePath.c_str(), &node) != 0 || !S_ISCHR(node.st_mode) ||
        ::statfs(devicePath.c_str(), &fs) != 0)
        return holders;
    const DeviceId port{node.st_rdev, node.st_dev, fs.f_type == DEVPTS_SUPER_MAGIC};

    DIR *dir = ::opendir("/proc");
    if (!dir)
        return holders;
    const std::set<pid_t> skipped = selfAndAncestors();
    while (const dirent *entry = ::readdir(dir)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || skipped.count(static_cast<pid_t>(pid)))
            continue;
        if (!holdsDevice(entry->d_name, port))
            continue;
        const std::string commPath = std::string("/proc/") + entry->d_name + "/comm";
        std::string command = readSmallFile(commPath.c_str());
        while (!command.empty() && command.back() == '\n')
            command.pop_back();
        holders.push_back({static_cast<pid_t>(pid), command});
    }
    ::closedir(dir);
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder &a, const PortHolder &b) { return a.pid < b.pid; });
    return holders;
}

} // namespace Cv
