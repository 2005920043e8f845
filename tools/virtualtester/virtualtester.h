#pragma once

#include "childprocess.h"
#include "commandcheck.h"
#include "pacedsender.h"
#include "testerline.h"
#include "testeroptions.h"

#include <QByteArray>

#include <chrono>
#include <memory>
#include <optional>
#include <signal.h>

// One run of the tester: its line (the test bed or a terminal), the program
// on the other end, and the download sessions served on the line until the
// program ends or the tester is told to stop. Everything happens on one thread around one ppoll().
class VirtualTester
{
public:
    using Clock = std::chrono::steady_clock;

    explicit VirtualTester(const TesterOptions &options);
    ~VirtualTester();
    VirtualTester(const VirtualTester &) = delete;
    VirtualTester &operator=(const VirtualTester &) = delete;

    // The exit status: the program's own when every download went right, 1
    // when one went wrong, 2 when the line could not be set up, 124 after
    // --timeout, 128 + the signal that ended the run. Without a program: 0
    // when every download went right, otherwise 1.
    int run();

private:
    enum class Phase { WaitingForCommands, Delaying, Sending, Draining, Silent };

    bool setUp();
    void loop();
    Clock::time_point nextDeadline() const;
    void handleSignals();
    void readLine(Clock::time_point now);
    void readTerminal(Clock::time_point now);
    void advance(Clock::time_point now);

    void finishCheck(Clock::time_point now);
    void startSending(Clock::time_point now);
    void sendDue(Clock::time_point now);
    void finishSending(Clock::time_point now);
    void pullOut(Clock::time_point now);
    void plugIn();
    void pullOutIdle();
    void supersedeSession(Clock::time_point now);
    void dropUnfinishedRequest();
    void endSession();
    void reportIgnored();
    void abandonSession(const QString &why);
    bool terminalIsOurs() const;
    int exitStatus() const;

    void say(const QString &text) const;

    TesterOptions m_options;
    Clock::duration m_settleTime;
    QByteArray m_records;
    std::unique_ptr<TesterLine> m_line;
    ChildProcess m_child;
    std::unique_ptr<PacedSender> m_sender;
    CommandCheck m_check;

    sigset_t m_originalMask;
    int m_signalFd = -1;
    bool m_terminalOpen = true;

    Phase m_phase = Phase::WaitingForCommands;
    int m_session = 0;
    int m_sessionsOk = 0;
    int m_sessionsFailed = 0;
    int m_sessionsSuperseded = 0;
    qint64 m_bytesReceived = 0;
    qint64 m_bytesSent = 0;
    QByteArray m_ignored; // bytes that came while no commands were awaited

    Clock::time_point m_lastByteAt;
    Clock::time_point m_sendAt;
    Clock::time_point m_sendStartedAt;
    Clock::time_point m_drainUntil;
    Clock::time_point m_nextDrainLook;
    Clock::time_point m_lineQuietUntil;
    Clock::time_point m_deadline;
    std::optional<Clock::time_point> m_plugInAt;
    std::optional<Clock::time_point> m_pullOutIdleAt;
    int m_drainedLooks = 0;

    bool m_setupFailed = false;
    bool m_childEnded = false;
    bool m_timedOut = false;
    bool m_broken = false;
    int m_interruptedBy = 0;
};
