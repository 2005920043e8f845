#include "readerprocess.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

ReaderProcess::ReaderProcess(const QString &path)
{
    const QByteArray file = QFile::encodeName(path);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("cat", "cat", file.constData(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    m_pid = pid;
}

ReaderProcess::~ReaderProcess()
{
    stop();
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
