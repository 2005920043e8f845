#include "childprocess.h"

#include <QByteArray>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {
// The kernel's signal set, not libc's larger sigset_t.
constexpr long kernelSigsetSize = _NSIG / 8;
} // namespace

ChildProcess::~ChildProcess()
{
    if (running())
        terminate(5000);
}

bool ChildProcess::start(const QStringList &wrapper, const QStringList &command,
                         const QString &port, const sigset_t &originalMask)
{
    if (command.isEmpty()) {
        m_errorString = QStringLiteral("no command given");
        return false;
    }
    // The child calls execve() itself, so the program is looked up here; a
    // name with a slash is taken as it stands, as a shell would.
    const QStringList line = wrapper + command;
    QString program = line.first();
    if (!program.contains(QLatin1Char('/'))) {
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty()) {
            m_errorString =
                QStringLiteral("cannot start %1: no %2 in PATH").arg(command.first(), line.first());
            return false;
        }
    }
    // Everything the child needs is prepared before fork(). The tester may
    // have threads (the bed's worker) and run under umockdev's preload
    // library, whose wrappers take locks another thread may have held at the
    // fork: the child therefore goes straight to the kernel until exec.
    std::vector<QByteArray> storage;
    storage.push_back(program.toLocal8Bit());
    for (qsizetype i = 1; i < line.size(); ++i)
        storage.push_back(line.at(i).toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    static const char portName[] = "CV_TESTER_PORT=";
    QByteArray portEntry = portName + port.toLocal8Bit();
    std::vector<char *> envp;
    for (char **entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, portName, sizeof portName - 1) != 0)
            envp.push_back(*entry);
    }
    if (!port.isEmpty())
        envp.push_back(portEntry.data());
    envp.push_back(nullptr);
    const QByteArray failure = "velmora-virtual-tester: cannot run " + storage.front() + '\n';

    int null;
    do {
        null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    } while (null < 0 && errno == EINTR);
    if (null < 0) {
        m_errorString = QStringLiteral("cannot start %1: /dev/null: %2")
                            .arg(command.first(), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::syscall(SYS_prctl, PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0);
        if (::syscall(SYS_getppid) != parent)
            ::syscall(SYS_exit_group, 127);
        // The program reads no terminal input: that belongs to the tester.
        if (null == STDIN_FILENO)
            ::syscall(SYS_fcntl, null, F_SETFD, 0);
        else
            ::syscall(SYS_dup3, null, STDIN_FILENO, 0);
        ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &originalMask, nullptr, kernelSigsetSize);
        ::syscall(SYS_execve, argv[0], argv.data(), envp.data());
        ::syscall(SYS_write, STDERR_FILENO, failure.constData(), size_t(failure.size()));
        ::syscall(SYS_exit_group, 127);
    }
    const int forkError = errno;
    ::close(null);
    if (pid < 0) {
        m_errorString = QStringLiteral("cannot start %1: %2")
                            .arg(command.first(), QString::fromLocal8Bit(strerror(forkError)));
        return false;
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
