#pragma once

#include "testerline.h"

// The tester on a terminal outside any test bed: either a terminal it opens
// by its path (a pseudo-terminal's slave, one end of a null-modem pair, a
// serial cable), or a new pseudo-terminal pair whose master it serves on and
// whose slave the program opens. The program runs as it is.
class TerminalLine : public TesterLine
{
public:
    // An empty `path` makes a new pseudo-terminal pair. `programPort` is the
    // other end of `path` when the caller knows it.
    TerminalLine(const QString &path, const QString &programPort);
    ~TerminalLine() override;
    TerminalLine(const TerminalLine &) = delete;
    TerminalLine &operator=(const TerminalLine &) = delete;

    bool create() override;
    int lineFd() const override { return m_lineFd; }
    // Known on a pseudo-terminal of our own only: on a path, what the far
    // end has not read is out of sight.
    int unreadBytes() const override;
    // On a pseudo-terminal of our own, a hang-up of the program's end; a
    // path's far end cannot be hung up from here.
    bool pullOut() override;
    // A new pseudo-terminal would have a new name the program does not know.
    bool plugIn() override;

    QString programPort() const override { return m_programPort; }
    QStringList wrapper() const override { return {}; }
    QString readyText() const override;
    QString where() const override;
    QString pullOutText() const override { return QStringLiteral("line hung up"); }
    QString startHint() const override;
    QByteArray shellVariables() const override;

    QString errorString() const override { return m_errorString; }

private:
    bool openPath();
    bool openPair();

    QString m_path;
    QString m_programPort;
    int m_lineFd = -1;
    // Our own pair's slave, held open so that the master never reports a
    // hang-up while the program has it closed (between downloads).
    int m_holdFd = -1;
    QString m_errorString;
};
