// A minimal serial client for the virtual tester's tests: it opens the port
// with plain POSIX calls, sends the command bytes, reads until the line has
// been quiet for a while and writes what it got to a file. On stdout it
// reports how the bytes came, for the timing checks, and whether the port
// hung up and udev announced its removal. DEVICE "-" is the port the tester
// names in CV_TESTER_PORT.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string unescape(const char *text)
{
    std::string out;
    for (const char *p = text; *p; ++p) {
        if (*p != '\\' || !p[1]) {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 'x':
            if (p[1] && p[2]) {
                out += char(std::strtol(std::string(p + 1, 2).c_str(), nullptr, 16));
                p += 2;
            }
            break;
        default:
            out += *p;
        }
    }
    return out;
}

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

struct Result
{
    std::string data;
    double firstToLastMs = 0;
    double maxGapMs = 0;
    int longGaps = 0; // gaps over 200 ms between bytes
    bool hangup = false;
    int hangupErrno = 0; // 0: end of file
};

Result readUntilQuiet(int fd, int firstTimeoutMs, int quietMs)
{
    Result r;
    Clock::time_point first;
    Clock::time_point last;
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, r.data.empty() ? firstTimeoutMs : quietMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[1024];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            r.hangup = true;
            r.hangupErrno = n < 0 ? errno : 0;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (r.data.empty()) {
            first = now;
        } else {
            const double gap = std::chrono::duration<double, std::milli>(now - last).count();
            r.maxGapMs = gap > r.maxGapMs ? gap : r.maxGapMs;
            if (gap > 200)
                ++r.longGaps;
        }
        last = now;
        r.data.append(buffer, size_t(n));
    }
    if (!r.data.empty())
        r.firstToLastMs = std::chrono::duration<double, std::milli>(last - first).count();
    return r;
}

// Listens for the removal of the tty device from the start, as a program
// watching for adapters would.
class RemovalWatch
{
public:
    RemovalWatch() : m_udev(udev_new())
    {
        if (!m_udev)
            return;
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor) {
            udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr);
            udev_monitor_enable_receiving(m_monitor);
        }
    }
    ~RemovalWatch()
    {
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        if (m_udev)
            udev_unref(m_udev);
    }
    RemovalWatch(const RemovalWatch &) = delete;
    RemovalWatch &operator=(const RemovalWatch &) = delete;

    bool waitForRemoval(const char *device, int timeoutMs)
    {
        if (!m_monitor)
            return false;
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p = {udev_monitor_get_fd(m_monitor), POLLIN, 0};
            const int ready = ::poll(&p, 1, int(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            udev_device *dev = udev_monitor_receive_device(m_monitor);
            if (!dev)
                continue;
            const char *action = udev_device_get_action(dev);
            const char *node = udev_device_get_devnode(dev);
            const bool removed = action && std::strcmp(action, "remove") == 0 && node &&
                                 std::strcmp(node, device) == 0;
            udev_device_unref(dev);
            if (removed)
                return true;
        }
    }

private:
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
};

} // namespace

int main(int argc, char *argv[])
{
    std::string send = "SYST:REM\r\nMEM:DATA? ALL\r\n";
    int firstTimeoutMs = 30000;
    int quietMs = 1000;
    int sessions = 1;
    int exitCode = 0;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; arg += 2) {
        const std::string option = argv[arg];
        if (option == "--send")
            send = unescape(argv[arg + 1]);
        else if (option == "--first-timeout")
            firstTimeoutMs = std::atoi(argv[arg + 1]);
        else if (option == "--quiet")
            quietMs = std::atoi(argv[arg + 1]);
        else if (option == "--sessions")
            sessions = std::atoi(argv[arg + 1]);
        else if (option == "--exit-code")
            exitCode = std::atoi(argv[arg + 1]);
        else if (option == "--ignore-term" && std::strcmp(argv[arg + 1], "1") == 0)
            std::signal(SIGTERM, SIG_IGN);
        else
            break;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr,
                     "usage: %s [--send BYTES] [--first-timeout MS] [--quiet MS] "
                     "[--sessions N] [--exit-code N] [--ignore-term 1] DEVICE|- OUTPUT\n",
                     argv[0]);
        return 2;
    }
    const char *device = argv[arg];
    if (std::strcmp(device, "-") == 0)
        device = std::getenv("CV_TESTER_PORT");
    if (!device) {
        std::fprintf(stderr, "CV_TESTER_PORT is not set\n");
        return 2;
    }
    const std::string output = argv[arg + 1];
    RemovalWatch watch;

    for (int session = 1; session <= sessions; ++session) {
        const int fd = ::open(device, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "cannot open %s: %s\n", device, std::strerror(errno));
            return 3;
        }
        termios tio;
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::cfsetspeed(&tio, B9600);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        if (!writeAll(fd, send)) {
            std::fprintf(stderr, "cannot write to %s: %s\n", device, std::strerror(errno));
            return 4;
        }
        const Result r = readUntilQuiet(fd, firstTimeoutMs, quietMs);
        ::close(fd);

        const std::string file = session == 1 ? output : output + "." + std::to_string(session);
        FILE *out = std::fopen(file.c_str(), "wb");
        if (!out || std::fwrite(r.data.data(), 1, r.data.size(), out) != r.data.size() ||
            std::fclose(out) != 0) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            return 5;
        }
        // The tester hangs the line up before it takes the node away, and on
        // a busy machine the client may look in between.
        bool gone = false;
        for (int waited = 0; r.hangup && !gone && waited < 10000; waited += 20) {
            struct stat st;
            gone = ::stat(device, &st) < 0 && errno == ENOENT;
            if (!gone)
                ::usleep(20000);
        }
        const bool removed = r.hangup && watch.waitForRemoval(device, 10000);
        std::printf("session=%d bytes=%zu first_to_last_ms=%.0f max_gap_ms=%.0f long_gaps=%d "
                    "hangup=%d hangup_errno=%d gone=%d removed=%d\n",
                    session, r.data.size(), r.firstToLastMs, r.maxGapMs, r.longGaps, r.hangup,
                    r.hangupErrno, gone, removed);
        std::fflush(stdout);
        if (r.hangup)
            break;
    }
    return exitCode;
}
