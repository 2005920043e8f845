#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The tester's end of a serial line, and what the program under test needs
// to reach the other end: the path it opens and what it must be run under.
class TesterLine
{
public:
    virtual ~TesterLine() = default;

    // False with errorString() set when the line cannot be set up.
    virtual bool create() = 0;

    // The tester's end, non-blocking; -1 before create() and after pullOut().
    virtual int lineFd() const = 0;
    bool present() const { return lineFd() >= 0; }
    // Bytes sent to the program that it has not read yet, or -1 when the
    // tester cannot know.
    virtual int unreadBytes() const = 0;

    // Takes the line away under the program; false when it could not be
    // hung up (the line is gone all the same).
    virtual bool pullOut() = 0;
    // Puts a pulled-out line back; true when present.
    virtual bool plugIn() = 0;

    // The path the program opens (given to it as CV_TESTER_PORT), or empty
    // when the tester does not know it.
    virtual QString programPort() const = 0;
    // What the program runs under, e.g. a wrapper that shows it a device;
    // empty when it runs as it is.
    virtual QStringList wrapper() const = 0;

    // For the reports: the line once set up, where a started program runs,
    // what a pull-out is on this line, and how to start a program by hand.
    virtual QString readyText() const = 0;
    virtual QString where() const = 0;
    virtual QString pullOutText() const = 0;
    virtual QString startHint() const = 0;
    // Shell assignments printed when no program is given.
    virtual QByteArray shellVariables() const = 0;

    virtual QString errorString() const = 0;
};
