#include "portholders.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

// The path the links to a device end in, as the kernel names the device in
// /proc/<pid>/fd (a device behind a link, /dev/serial/by-id/...).
std::string resolvedPath(const char *path)
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

// By the device numbers, or, where a test bed stands in other numbers for a
// device than the kernel's, by the name the kernel gives the open file.
bool holdsDevice(const char *pid, dev_t device, const std::string &devicePath)
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
        // Follows the descriptor's link to what it has open; names differ
        // (/dev/ttyUSB0, a link to it), the device numbers do not.
        char target[PATH_MAX];
        const ssize_t n = ::readlinkat(::dirfd(dir), entry->d_name, target, sizeof target - 1);
        if (n <= 0 || target[0] != '/')
            continue; // pipes, sockets and the like
        struct stat st;
        if (devicePath.compare(0, std::string::npos, target, static_cast<std::size_t>(n)) == 0 ||
            (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
             st.st_rdev == device)) {
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
    struct stat port;
    if (::stat(path, &port) != 0 || !S_ISCHR(port.st_mode))
        return holders;

    DIR *dir = ::opendir("/proc");
    if (!dir)
        return holders;
    const std::set<pid_t> skipped = selfAndAncestors();
    const std::string devicePath = resolvedPath(path);
    while (const dirent *entry = ::readdir(dir)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || skipped.count(static_cast<pid_t>(pid)))
            continue;
        if (!holdsDevice(entry->d_name, port.st_rdev, devicePath))
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
