#include "quitrequests.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> quitSignals = {SIGTERM, SIGINT, SIGHUP};

// Only what a signal handler may touch.
int wakeFd = -1;
volatile std::sig_atomic_t requestPending = 0;

void onQuitSignal(int signal)
{
    const int savedErrno = errno;
    if (requestPending) {
        // The program did not end on the first request: the default action.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    } else {
        requestPending = 1;
        const char byte = 1;
        while (::write(wakeFd, &byte, 1) < 0 && errno == EINTR) {
        }
    }
    errno = savedErrno;
}

bool setFlags(int fd)
{
    const int fdFlags = ::fcntl(fd, F_GETFD);
    const int statusFlags = ::fcntl(fd, F_GETFL);
    return fdFlags >= 0 && statusFlags >= 0 && ::fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC) == 0 &&
           ::fcntl(fd, F_SETFL, statusFlags | O_NONBLOCK) == 0;
}

} // namespace

// The handler only writes a byte into a pipe; the event loop reads it.
struct QuitRequests::Watch
{
    std::array<int, 2> pipe = {-1, -1};
    std::array<struct sigaction, quitSignals.size()> previous = {};
    std::array<bool, quitSignals.size()> installed = {};
    QSocketNotifier *notifier = nullptr; // a child of the QuitRequests
};

QuitRequests::QuitRequests(QObject *parent) : QObject(parent), watch(std::make_unique<Watch>())
{
    int fds[2];
    if (::pipe(fds) != 0) {
        qWarning("termination signals end the program at once, without its clean-up");
        return;
    }
    watch->pipe = {fds[0], fds[1]};
    if (!setFlags(fds[0]) || !setFlags(fds[1])) {
        qWarning("termination signals end the program at once, without its clean-up");
        return;
    }
    wakeFd = fds[1];
    requestPending = 0;

    watch->notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
    connect(watch->notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        ssize_t count;
        do {
            count = ::read(watch->pipe[0], buffer, sizeof buffer);
        } while (count > 0 || (count < 0 && errno == EINTR));
        emit requested();
    });

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls elsewhere in the program go on by themselves.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < quitSignals.size(); ++i) {
        struct sigaction current = {};
        // A signal the program was started to ignore (nohup, a background
        // job) stays ignored.
        if (::sigaction(quitSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        watch->installed[i] = ::sigaction(quitSignals[i], &action, &watch->previous[i]) == 0;
    }
}

QuitRequests::~QuitRequests()
{
    for (std::size_t i = 0; i < quitSignals.size(); ++i) {
        if (watch->installed[i])
            ::sigaction(quitSignals[i], &watch->previous[i], nullptr);
    }
    delete watch->notifier;
    wakeFd = -1;
    for (const int fd : watch->pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}
