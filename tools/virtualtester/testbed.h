#pragma once

#include "testerline.h"

#include <QByteArray>
#include <QString>

typedef struct _UMockdevTestbed UMockdevTestbed;

// A umockdev test bed holding one USB serial adapter, ttyUSB0. The program
// under test opens /dev/ttyUSB0 (through umockdev-wrapper); the bed side of
// that line is a pty master owned here.
class TestBed : public TesterLine
{
public:
    TestBed();
    ~TestBed() override;
    TestBed(const TestBed &) = delete;
    TestBed &operator=(const TestBed &) = delete;

    // False with errorString() set when the bed or its line cannot be set up.
    bool create() override;

    QString rootDir() const;
    static QString devicePath() { return QStringLiteral("/dev/ttyUSB0"); }
    static QString sysPath();
    int lineFd() const override { return m_lineFd; }
    int unreadBytes() const override;

    // As if the adapter were unplugged: the program's open port hangs up and
    // the device disappears from sysfs and /dev. False when the line could
    // not be hung up (the device is gone all the same).
    bool pullOut() override;
    // Puts a pulled-out adapter back, with a new line; true when present.
    bool plugIn() override;

    QString programPort() const override { return devicePath(); }
    QStringList wrapper() const override { return {QStringLiteral("umockdev-wrapper")}; }
    QString readyText() const override;
    QString where() const override { return QStringLiteral("in the test bed"); }
    QString pullOutText() const override { return QStringLiteral("adapter pulled out"); }
    QString startHint() const override;
    QByteArray shellVariables() const override;

    QString errorString() const override { return m_errorString; }

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
