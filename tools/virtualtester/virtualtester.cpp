#include "virtualtester.h"

#include "terminalline.h"
#include "testbed.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Quiet time after an incomplete command before the rest counts as missing.
constexpr auto incompleteTime = 3000ms;
// The longest wait for the program to read what reached it before the line
// is pulled out; all of it where the tester cannot see what is unread.
constexpr auto drainLimit = 3000ms;
constexpr auto drainStep = 20ms;
constexpr auto hangupBackoff = 50ms;
constexpr int childGraceMs = 5000;

double seconds(VirtualTester::Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Where a program starting a download over begins its request.
QByteArray firstCommand()
{
    const QByteArray pair = CommandCheck::expected();
    return pair.left(pair.indexOf('\n') + 1);
}

} // namespace

VirtualTester::VirtualTester(const TesterOptions &options)
    : m_options(options), m_settleTime(std::chrono::milliseconds(options.settleMs))
{
    if (options.line.isEmpty())
        m_line = std::make_unique<TestBed>();
    else
        m_line = std::make_unique<TerminalLine>(
            options.line == QStringLiteral("pty") ? QString() : options.line, options.programPort);
    sigemptyset(&m_originalMask);
}

VirtualTester::~VirtualTester()
{
    if (m_child.running())
        m_child.terminate(childGraceMs);
    // The signals stay blocked: one still pending (a second Ctrl+C) would
    // end the process here, before the bed is cleaned away.
    if (m_signalFd >= 0)
        ::close(m_signalFd);
}

void VirtualTester::say(const QString &text) const
{
    std::fprintf(stderr, "velmora-virtual-tester: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool VirtualTester::setUp()
{
    QFile file(m_options.recordsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("cannot read the records file %1: %2")
                .arg(m_options.recordsFile, file.errorString()));
        return false;
    }
    m_records = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        say(QStringLiteral("cannot read the records file %1: %2")
                .arg(m_options.recordsFile, file.errorString()));
        return false;
    }

    // The signals that end the run, and the child's end, are read from a
    // descriptor in the main loop rather than handled asynchronously.
    sigset_t mask;
    sigemptyset(&mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&mask, signal);
    // A reader of our output going away must not end the tester either:
    // blocked (not ignored, which the program would inherit), SIGPIPE only
    // turns into EPIPE. It is not read from the descriptor.
    sigset_t blocked = mask;
    sigaddset(&blocked, SIGPIPE);
    if (::sigprocmask(SIG_BLOCK, &blocked, &m_originalMask) < 0) {
        say(QStringLiteral("cannot block signals: %1")
                .arg(QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    m_signalFd = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signalFd < 0) {
        say(QStringLiteral("cannot watch signals: %1")
                .arg(QString::fromLocal8Bit(strerror(errno))));
        ::sigprocmask(SIG_SETMASK, &m_originalMask, nullptr);
        return false;
    }

    if (!m_line->create()) {
        say(m_line->errorString());
        return false;
    }
    say(m_line->readyText());
    // Plugged in only later: out before anyone looks.
    if (m_options.plugInAfterMs >= 0 && m_options.pullOutAfter < 0) {
        m_line->pullOut();
        m_phase = Phase::Silent;
        m_plugInAt = Clock::now() + std::chrono::milliseconds(m_options.plugInAfterMs);
        say(QStringLiteral("the adapter is out; it is plugged in after %1 s")
                .arg(double(m_options.plugInAfterMs) / 1000.0));
    }

    if (m_options.command.isEmpty()) {
        std::fputs(m_line->shellVariables().constData(), stdout);
        std::fflush(stdout);
        say(m_line->startHint() + QStringLiteral("; Ctrl+C ends the tester"));
    } else {
        if (!m_child.start(m_line->wrapper(), m_options.command, m_line->programPort(),
                           m_originalMask)) {
            say(m_child.errorString());
            return false;
        }
        say(QStringLiteral("started %1 (pid %2) %3")
                .arg(m_options.command.join(QLatin1Char(' ')))
                .arg(m_child.pid())
                .arg(m_line->where()));
    }
    say(QStringLiteral("waiting for the commands"));
    return true;
}

int VirtualTester::run()
{
    const Clock::time_point start = Clock::now();
    m_deadline = m_options.timeoutMs > 0 ? start + std::chrono::milliseconds(m_options.timeoutMs)
                                         : Clock::time_point::max();
    if (!setUp()) {
        m_setupFailed = true;
        return exitStatus();
    }
    loop();

    if (m_phase == Phase::WaitingForCommands && !m_check.received().isEmpty()) {
        ++m_session;
        say(QStringLiteral("session %1: received %2 bytes: %3")
                .arg(m_session)
                .arg(m_check.received().size())
                .arg(m_check.report()));
        if (m_check.verdict() == CommandCheck::Verdict::Match)
            say(QStringLiteral("session %1: the run ended before the transfer").arg(m_session));
        ++m_sessionsFailed;
        m_check.clear();
    } else if (m_phase == Phase::Delaying || m_phase == Phase::Sending ||
               m_phase == Phase::Draining) {
        abandonSession(QStringLiteral("the transfer did not finish (%1 of %2 bytes sent)")
                           .arg(m_sender ? m_sender->sent() : 0)
                           .arg(m_records.size()));
    }
    if (!m_ignored.isEmpty())
        reportIgnored();
    if (m_child.running()) {
        say(QStringLiteral("ending the program (pid %1)").arg(m_child.pid()));
        m_child.terminate(childGraceMs);
    }

    QString summary =
        QStringLiteral("summary: %1 download(s) answered, %2 failed; %3 bytes received, "
                       "%4 bytes sent")
            .arg(m_sessionsOk)
            .arg(m_sessionsFailed)
            .arg(m_bytesReceived)
            .arg(m_bytesSent);
    if (m_sessionsSuperseded > 0)
        summary +=
            QStringLiteral("; %1 download(s) given up by the program").arg(m_sessionsSuperseded);
    if (!m_options.command.isEmpty())
        summary += QStringLiteral("; program %1").arg(m_child.describeExit());
    say(summary);
    return exitStatus();
}

bool VirtualTester::terminalIsOurs() const
{
    return m_terminalOpen && ::isatty(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

VirtualTester::Clock::time_point VirtualTester::nextDeadline() const
{
    Clock::time_point next = m_deadline;
    switch (m_phase) {
    case Phase::WaitingForCommands:
        if (!m_check.received().isEmpty())
            next = qMin(next, m_lastByteAt + (m_check.decided() ? m_settleTime
                                                                : Clock::duration(incompleteTime)));
        else if (m_pullOutIdleAt)
            next = qMin(next, *m_pullOutIdleAt);
        break;
    case Phase::Delaying:
        next = qMin(next, m_sendAt);
        break;
    case Phase::Sending:
        if (!m_sender->blocked())
            next = qMin(next, m_sender->nextWake());
        break;
    case Phase::Draining:
        next = qMin(next, m_nextDrainLook);
        break;
    case Phase::Silent:
        if (m_plugInAt)
            next = qMin(next, *m_plugInAt);
        if (m_pullOutIdleAt)
            next = qMin(next, *m_pullOutIdleAt);
        break;
    }
    if (m_phase == Phase::Silent && !m_ignored.isEmpty())
        next = qMin(next, m_lastByteAt + m_settleTime);
    return next;
}

void VirtualTester::loop()
{
    while (!m_interruptedBy && !m_childEnded && !m_timedOut && !m_broken) {
        Clock::time_point now = Clock::now();
        const Clock::time_point deadline = nextDeadline();

        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {m_signalFd, POLLIN, 0};
        const nfds_t lineIndex = count;
        const bool lineWatched = m_line->present() && now >= m_lineQuietUntil;
        if (lineWatched) {
            short events = POLLIN;
            if (m_phase == Phase::Sending && m_sender->blocked())
                events |= POLLOUT;
            fds[count++] = {m_line->lineFd(), events, 0};
        }
        const nfds_t terminalIndex = count;
        const bool terminalWatched = m_phase == Phase::Delaying && terminalIsOurs();
        if (terminalWatched)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};

        Clock::time_point wake = deadline;
        if (!lineWatched && m_line->present())
            wake = qMin(wake, m_lineQuietUntil);
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (wake != Clock::time_point::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                qMax(wake - now, Clock::duration(0)));
            timeout.tv_sec = time_t(left.count() / 1000000000);
            timeout.tv_nsec = long(left.count() % 1000000000);
            timeoutPtr = &timeout;
        }
        const int ready = ::ppoll(fds, count, timeoutPtr, nullptr);
        if (ready < 0 && errno != EINTR) {
            say(QStringLiteral("waiting failed: %1").arg(QString::fromLocal8Bit(strerror(errno))));
            m_broken = true;
            break;
        }
        now = Clock::now();
        if (ready > 0) {
            if (fds[0].revents)
                handleSignals();
            if (lineWatched && fds[lineIndex].revents) {
                if (fds[lineIndex].revents & (POLLIN | POLLHUP | POLLERR))
                    readLine(now);
                if ((fds[lineIndex].revents & POLLOUT) && m_phase == Phase::Sending)
                    sendDue(now);
            }
            if (terminalWatched && fds[terminalIndex].revents)
                readTerminal(now);
        }
        if (now >= m_deadline) {
            say(QStringLiteral("giving up after %1 s (--timeout)")
                    .arg(double(m_options.timeoutMs) / 1000.0));
            m_timedOut = true;
            break;
        }
        advance(now);
    }
}

void VirtualTester::handleSignals()
{
    signalfd_siginfo info;
    for (;;) {
        const ssize_t n = ::read(m_signalFd, &info, sizeof info);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != ssize_t(sizeof info))
            break;
        if (info.ssi_signo == SIGCHLD)
            continue;
        if (!m_interruptedBy) {
            m_interruptedBy = int(info.ssi_signo);
            say(QStringLiteral("SIG%1 received, cleaning up")
                    .arg(QLatin1String(sigabbrev_np(m_interruptedBy))));
        }
    }
    // SIGCHLD may stand for several children; asking is cheap and exact.
    if (m_child.running() && m_child.reap()) {
        m_childEnded = true;
        say(QStringLiteral("the program ended: %1").arg(m_child.describeExit()));
    }
}

void VirtualTester::readLine(Clock::time_point now)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_line->lineFd(), buffer, sizeof buffer);
        if (n > 0) {
            const QByteArray bytes(buffer, n);
            m_bytesReceived += n;
            m_lastByteAt = now;
            if (m_phase == Phase::WaitingForCommands) {
                m_check.append(bytes);
                if (m_options.repeat)
                    dropUnfinishedRequest();
            } else {
                m_ignored.append(bytes);
                if (m_options.repeat && (m_phase == Phase::Delaying || m_phase == Phase::Sending) &&
                    m_ignored.contains(firstCommand()))
                    supersedeSession(now);
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // A hang-up with nobody on the other end: look again a little later
        // instead of spinning on it.
        m_lineQuietUntil = now + hangupBackoff;
        return;
    }
}

void VirtualTester::readTerminal(Clock::time_point now)
{
    char buffer[256];
    ssize_t n;
    do {
        n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            m_terminalOpen = false;
        return;
    }
    if (m_phase == Phase::Delaying && std::memchr(buffer, '\n', size_t(n))) {
        say(QStringLiteral("session %1: Enter pressed").arg(m_session));
        startSending(now);
    }
}

void VirtualTester::advance(Clock::time_point now)
{
    switch (m_phase) {
    case Phase::WaitingForCommands:
        if (!m_check.received().isEmpty()) {
            const Clock::duration quiet = now - m_lastByteAt;
            if (quiet >= (m_check.decided() ? m_settleTime : Clock::duration(incompleteTime)))
                finishCheck(now);
        } else if (m_pullOutIdleAt && now >= *m_pullOutIdleAt) {
            pullOutIdle();
        }
        break;
    case Phase::Delaying:
        if (now >= m_sendAt)
            startSending(now);
        break;
    case Phase::Sending:
        if (!m_sender->blocked() && now >= m_sender->nextWake())
            sendDue(now);
        break;
    case Phase::Draining:
        if (now >= m_nextDrainLook) {
            // Pull the plug once the program has read what reached it (two
            // looks in a row, as bytes may still be on their way through the
            // pty), or when it stops reading.
            m_drainedLooks = m_line->unreadBytes() == 0 ? m_drainedLooks + 1 : 0;
            if (m_drainedLooks >= 2 || now >= m_drainUntil)
                pullOut(now);
            else
                m_nextDrainLook = now + drainStep;
        }
        break;
    case Phase::Silent:
        if (m_plugInAt && now >= *m_plugInAt)
            plugIn();
        else if (m_pullOutIdleAt && now >= *m_pullOutIdleAt && m_line->present())
            pullOutIdle();
        break;
    }
    if (m_phase == Phase::Silent && !m_ignored.isEmpty() && now - m_lastByteAt >= m_settleTime)
        reportIgnored();
}

void VirtualTester::finishCheck(Clock::time_point now)
{
    m_pullOutIdleAt.reset(); // a new download keeps the adapter in
    ++m_session;
    say(QStringLiteral("session %1: received %2 bytes: %3")
            .arg(m_session)
            .arg(m_check.received().size())
            .arg(m_check.report()));
    const bool match = m_check.verdict() == CommandCheck::Verdict::Match;
    m_check.clear();
    if (!match) {
        ++m_sessionsFailed;
        if (m_options.repeat) {
            say(QStringLiteral("the tester does not answer; waiting for the commands again"));
        } else {
            say(QStringLiteral("the tester does not answer and stays silent"));
            m_phase = Phase::Silent;
        }
        return;
    }
    if (m_options.delayMs <= 0) {
        startSending(now);
        return;
    }
    m_phase = Phase::Delaying;
    m_sendAt = now + std::chrono::milliseconds(m_options.delayMs);
    QString text = QStringLiteral("session %1: the technician starts the transfer in %2 s")
                       .arg(m_session)
                       .arg(double(m_options.delayMs) / 1000.0);
    if (terminalIsOurs()) {
        ::tcflush(STDIN_FILENO, TCIFLUSH); // keys pressed earlier do not count
        text += QStringLiteral(" (press Enter to start it now)");
    }
    say(text);
}

void VirtualTester::startSending(Clock::time_point now)
{
    PacedSender::Pacing pacing;
    pacing.bytesPerSecond = m_options.unpaced ? 0 : m_options.bytesPerSecond;
    pacing.pauseEvery = m_options.pauseEvery;
    pacing.pause = std::chrono::milliseconds(m_options.pauseMs);
    m_sender = std::make_unique<PacedSender>(m_records, pacing, m_options.pullOutAfter);
    m_sender->start(now);
    m_sendStartedAt = now;
    m_phase = Phase::Sending;

    QString text = QStringLiteral("session %1: sending %2 bytes of %3 ")
                       .arg(m_session)
                       .arg(m_sender->total())
                       .arg(QFileInfo(m_options.recordsFile).fileName());
    if (m_options.unpaced)
        text += QStringLiteral("unpaced");
    else
        text += QStringLiteral("at %1 bytes/s (about %2 s)")
                    .arg(m_options.bytesPerSecond)
                    .arg(seconds(m_sender->timeFor(m_sender->total())), 0, 'f', 1);
    if (m_options.pauseEvery > 0 && m_options.pauseMs > 0)
        text += QStringLiteral(", pausing %1 ms after every %2 bytes")
                    .arg(m_options.pauseMs)
                    .arg(m_options.pauseEvery);
    if (m_options.pullOutAfter >= 0)
        text += QStringLiteral(", then %1").arg(m_line->pullOutText());
    say(text);
    sendDue(now);
}

void VirtualTester::sendDue(Clock::time_point now)
{
    if (!m_sender->writeDue(m_line->lineFd(), now)) {
        abandonSession(QStringLiteral("writing to the line failed after %1 bytes: %2")
                           .arg(m_sender->sent())
                           .arg(QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    if (m_sender->finished())
        finishSending(now);
}

void VirtualTester::finishSending(Clock::time_point now)
{
    const qint64 sent = m_sender->sent();
    const double took = seconds(now - m_sendStartedAt);
    m_bytesSent += sent;
    QString text = QStringLiteral("session %1: sent %2 bytes in %3 s")
                       .arg(m_session)
                       .arg(sent)
                       .arg(took, 0, 'f', 3);
    if (took > 0.001)
        text += QStringLiteral(" (%1 bytes/s)").arg(double(sent) / took, 0, 'f', 0);
    if (m_sender->stalls() > 0)
        text += QStringLiteral("; the program held the line up %1 time(s)").arg(m_sender->stalls());
    say(text);
    if (m_options.pullOutAfter >= 0) {
        m_phase = Phase::Draining;
        m_drainUntil = now + drainLimit;
        m_drainedLooks = 0;
        m_nextDrainLook = now;
        return;
    }
    ++m_sessionsOk;
    if (m_options.pullOutIdleAfterMs >= 0)
        m_pullOutIdleAt = now + std::chrono::milliseconds(m_options.pullOutIdleAfterMs);
    endSession();
}

void VirtualTester::pullOut(Clock::time_point now)
{
    const int unread = m_line->unreadBytes();
    const qint64 sent = m_sender->sent();
    const qint64 size = m_records.size();
    const bool hungUp = m_line->pullOut();
    QString text = QStringLiteral("session %1: %2 after %3 of %4 bytes")
                       .arg(m_session)
                       .arg(m_line->pullOutText())
                       .arg(sent)
                       .arg(size);
    if (unread > 0)
        text += QStringLiteral("; %1 bytes the program had not read were lost").arg(unread);
    say(text);
    m_sender.reset();
    m_phase = Phase::Silent;
    if (hungUp) {
        ++m_sessionsOk;
    } else {
        say(m_line->errorString());
        ++m_sessionsFailed;
    }
    if (m_options.plugInAfterMs >= 0)
        m_plugInAt = now + std::chrono::milliseconds(m_options.plugInAfterMs);
}

void VirtualTester::plugIn()
{
    m_plugInAt.reset();
    if (!m_line->plugIn()) {
        say(QStringLiteral("cannot plug the adapter in again: %1").arg(m_line->errorString()));
        m_broken = true;
        return;
    }
    m_lineQuietUntil = {};
    m_ignored.clear();
    m_check.clear();
    if (m_session == 0) {
        m_phase = Phase::WaitingForCommands;
        say(QStringLiteral("adapter plugged in; waiting for the commands"));
    } else if (m_options.repeat) {
        m_phase = Phase::WaitingForCommands;
        say(QStringLiteral("adapter plugged in again; waiting for the next commands"));
    } else {
        say(QStringLiteral("adapter plugged in again; the tester is silent"));
    }
}

void VirtualTester::pullOutIdle()
{
    m_pullOutIdleAt.reset();
    const bool hungUp = m_line->pullOut();
    m_phase = Phase::Silent;
    say(QStringLiteral("adapter pulled out while the line was idle"));
    if (!hungUp)
        say(m_line->errorString());
}

// A program that gave up on a download and started another one sends the
// commands again; the tester answers the new request, as a real one would
// after being told to start over.
void VirtualTester::supersedeSession(Clock::time_point now)
{
    const qint64 sent = m_sender ? m_sender->sent() : 0;
    m_bytesSent += sent;
    ++m_sessionsSuperseded;
    say(QStringLiteral("session %1: a new download began after %2 of %3 bytes; the rest is "
                       "not sent")
            .arg(m_session)
            .arg(sent)
            .arg(m_records.size()));
    m_sender.reset();
    m_phase = Phase::WaitingForCommands;
    m_check.clear();
    m_check.append(m_ignored.mid(m_ignored.lastIndexOf(firstCommand())));
    m_ignored.clear();
    m_lastByteAt = now;
}

void VirtualTester::dropUnfinishedRequest()
{
    const QByteArray received = m_check.received();
    const qsizetype start = received.lastIndexOf(firstCommand());
    if (start <= 0)
        return;
    say(QStringLiteral("an unfinished request was dropped for a new one: %1")
            .arg(CommandCheck::escaped(received.left(qMin(start, qsizetype(64))))));
    m_check.clear();
    m_check.append(received.mid(start));
}

void VirtualTester::endSession()
{
    m_sender.reset();
    if (m_options.repeat && m_line->present()) {
        m_phase = Phase::WaitingForCommands;
        // A download started while the last one was still being answered.
        m_check.append(m_ignored);
        m_ignored.clear();
        dropUnfinishedRequest();
        say(QStringLiteral("waiting for the next commands"));
    } else {
        m_phase = Phase::Silent;
        say(QStringLiteral("the tester is silent now"));
    }
}

void VirtualTester::abandonSession(const QString &why)
{
    say(QStringLiteral("session %1: %2").arg(m_session).arg(why));
    ++m_sessionsFailed;
    m_sender.reset();
    m_phase = Phase::Silent;
}

void VirtualTester::reportIgnored()
{
    QString text = QStringLiteral("received %1 more bytes while not waiting for commands, not "
                                  "answered: %2")
                       .arg(m_ignored.size())
                       .arg(CommandCheck::escaped(m_ignored.left(64)));
    if (m_ignored.size() > 64)
        text += QStringLiteral("...");
    if (!m_options.repeat && m_line->present())
        text += QStringLiteral(" (--repeat answers every download)");
    say(text);
    m_ignored.clear();
}

int VirtualTester::exitStatus() const
{
    if (m_setupFailed || m_broken)
        return 2;
    if (m_timedOut)
        return 124;
    const bool allRight = m_sessionsOk > 0 && m_sessionsFailed == 0;
    if (m_options.command.isEmpty())
        return allRight ? 0 : 1;
    if (m_interruptedBy)
        return 128 + m_interruptedBy;
    return allRight ? m_child.exitCode() : 1;
}
