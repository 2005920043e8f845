#pragma once

#include <QByteArray>
#include <QString>

typedef struct _UMockdevTestbed UMockdevTestbed;

// A umockdev test bed holding one USB serial adapter, ttyUSB0. The program
// under test opens /dev/ttyUSB0 (through umockdev-wrapper); the bed side of
// that line is a pty master owned here.
class TestBed
{
public:
    TestBed();
    ~TestBed();
    TestBed(const TestBed &) = delete;
    TestBed &operator=(const TestBed &) = delete;

    // False with errorString() set when the bed or its line cannot be set up.
    bool create();

    QString rootDir() const;
    static QString devicePath() { return QStringLiteral("/dev/ttyUSB0"); }
    static QString sysPath();
    // The bed's end of the line, non-blocking; -1 before create() and after pullOut().
    int lineFd() const { return m_lineFd; }
    bool present() const { return m_lineFd >= 0; }
    // Bytes sent to the program that it has not read yet, or -1.
    int unreadBytes() const;

    // As if the adapter were unplugged: the program's open port hangs up and
    // the device disappears from sysfs and /dev. False when the line could
    // not be hung up (the device is gone all the same).
    bool pullOut();
    // Puts a pulled-out adapter back, with a new line; true when present.
    bool plugIn();

    QString errorString() const { return m_errorString; }

    static QByteArray description();

private:
    bool attachLine(int fd);

    UMockdevTestbed *m_bed = nullptr;
    int m_lineFd = -1;
    int m_slotFd = -1; // where the bed keeps the line's master, for good
    // Keeps the line open while the program has not opened it (or has closed
    // it), so that the master never reports a hang-up between downloads.
    int m_holdFd = -1;
    QByteArray m_ptyName;
    QString m_errorString;
};
