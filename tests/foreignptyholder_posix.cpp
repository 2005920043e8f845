// cv-foreign-pty-holder N: holds pseudo-terminal N of a devpts instance of its
// own, in a mount namespace of its own, as a container's shell does. Says
// "ready" once it holds the terminal and lets go when its input ends.
// Exits with 77 where the system does not let it make the namespace.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    constexpr int notPermitted = 77;
    const int wanted = argc == 2 ? std::atoi(argv[1]) : -1;
    if (wanted < 0 || wanted > 1000) {
        std::fprintf(stderr, "usage: %s N (0 to 1000)\n", argv[0]);
        return notPermitted;
    }
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("devpts", "/dev/pts", "devpts", 0, "newinstance,ptmxmode=0666,mode=0620") != 0) {
        std::perror("cv-foreign-pty-holder: no devpts instance of its own");
        return notPermitted;
    }

    // A fresh instance numbers from 0, so the terminal wanted is the last of
    // wanted + 1.
    std::vector<int> masters;
    int number = -1;
    while (number < wanted) {
        const int master = ::open("/dev/pts/ptmx", O_RDWR | O_NOCTTY);
        if (master < 0 || ::ioctl(master, TIOCGPTN, &number) != 0) {
            std::perror("cv-foreign-pty-holder: ptmx");
            return 1;
        }
        masters.push_back(master);
    }
    int unlock = 0;
    char name[32];
    std::snprintf(name, sizeof name, "/dev/pts/%d", number);
    if (number != wanted || ::ioctl(masters.back(), TIOCSPTLCK, &unlock) != 0 ||
        ::open(name, O_RDWR | O_NOCTTY) < 0) {
        std::perror("cv-foreign-pty-holder: terminal");
        return 1;
    }

    std::puts("ready");
    std::fflush(stdout);
    for (;;) {
        char byte;
        const ssize_t n = ::read(STDIN_FILENO, &byte, 1);
        if (n == 0 || (n == -1 && errno != EINTR))
            return 0;
    }
}
