#include "readerprocess.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

ReaderProcess::ReaderProcess(const QString &path, Kind kind) : m_path(path)
{
    const QByteArray file = QFile::encodeName(path);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    QByteArrayList arguments;
    if (kind == Reads) {
        arguments = {"cat", file};
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, file.constData(),
                                         O_RDONLY | O_NOCTTY, 0);
        arguments = {"sleep", "600"};
    }
    char *argv[] = {arguments[0].data(), arguments[1].data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
}

ReaderProcess::~ReaderProcess()
{
    stop();
}

// By the device, as a link's text may name it differently. A test bed's
// node reports numbers of its own: the node its link leads to is compared.
bool ReaderProcess::hasOpened() const
{
    const QString target = QFile::symLinkTarget(m_path);
    const QByteArray node = QFile::encodeName(target.isEmpty() ? m_path : target);
    struct stat port;
    if (m_pid <= 0 || ::stat(node.constData(), &port) != 0)
        return false;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(m_pid);
    for (const QString &fd : QDir(fds).entryList(QDir::AllEntries | QDir::System)) {
        struct stat st;
        const QByteArray fdPath = QFile::encodeName(fds + QLatin1Char('/') + fd);
        if (::stat(fdPath.constData(), &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == port.st_rdev && st.st_dev == port.st_dev)
            return true;
    }
    return false;
}

void ReaderProcess::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(pid_t(m_pid), SIGKILL);
    while (::waitpid(pid_t(m_pid), nullptr, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}
