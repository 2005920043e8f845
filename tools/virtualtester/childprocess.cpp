#include "childprocess.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

ChildProcess::~ChildProcess()
{
    if (running())
        terminate(5000);
}

bool ChildProcess::start(const QStringList &command, const sigset_t &originalMask)
{
    if (command.isEmpty()) {
        m_errorString = QStringLiteral("no command given");
        return false;
    }
    // Everything the child needs is prepared before fork(): between fork()
    // and exec only async-signal-safe calls are made.
    std::vector<QByteArray> storage;
    storage.push_back(QByteArrayLiteral("umockdev-wrapper"));
    for (const QString &arg : command)
        storage.push_back(arg.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0) {
        m_errorString = QStringLiteral("cannot start %1: %2")
                            .arg(command.first(), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            if (null != STDIN_FILENO)
                ::close(null);
        }
        ::signal(SIGPIPE, SIG_DFL);
        ::sigprocmask(SIG_SETMASK, &originalMask, nullptr);
        ::execvp(argv[0], argv.data());
        static const char message[] = "velmora-virtual-tester: cannot run umockdev-wrapper\n";
        [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(127);
    }
    m_pid = pid;
    m_exited = false;
    return true;
}

bool ChildProcess::reap()
{
    if (m_pid <= 0)
        return false;
    if (m_exited)
        return true;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(m_pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return false;
    m_exited = true;
    if (result < 0) {
        // Already collected elsewhere; nothing is known about how it ended.
        m_exitCode = 1;
        return true;
    }
    m_status = status;
    if (WIFEXITED(status))
        m_exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_exitCode = 128 + WTERMSIG(status);
    else
        m_exitCode = 1;
    return true;
}

bool ChildProcess::waitFor(int timeoutMs)
{
    // SIGCHLD is blocked and read elsewhere, so poll the child in short steps.
    const timespec step = {0, 10 * 1000 * 1000};
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        if (reap())
            return true;
        timespec rest = step;
        while (::nanosleep(&rest, &rest) < 0 && errno == EINTR) {
        }
    }
    return reap();
}

void ChildProcess::terminate(int graceMs)
{
    if (!running())
        return;
    ::kill(m_pid, SIGTERM);
    if (waitFor(graceMs))
        return;
    ::kill(m_pid, SIGKILL);
    waitFor(60000);
}

QString ChildProcess::describeExit() const
{
    if (!m_exited)
        return QStringLiteral("still running");
    if (WIFSIGNALED(m_status))
        return QStringLiteral("killed by signal %1").arg(WTERMSIG(m_status));
    return QStringLiteral("exit status %1").arg(m_exitCode);
}
