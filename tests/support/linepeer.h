#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// The far end of the line a test's port is joined to: a pseudo-terminal pair
// on Linux, the other COM port of the test's null-modem cable on Windows.
class LinePeer
{
public:
    LinePeer();
    ~LinePeer();
    LinePeer(const LinePeer &) = delete;
    LinePeer &operator=(const LinePeer &) = delete;

    bool isValid() const;
    // What the device under test opens.
    QString portName() const;

    bool write(const QByteArray &data, int timeoutMs = 10000);
    // Reads until count bytes came or the time is up; returns what came.
    QByteArray read(qsizetype count, int timeoutMs = 5000);
    // Whatever arrives within the time, without waiting for a count.
    QByteArray drain(int timeoutMs) { return read(1 << 30, timeoutMs); }

    // Not every peer can do these; a test that needs one skips without it.
    // Bytes waiting unread at the port, or -1 where the peer cannot see them.
    int portInputCount() const;
    // The far end goes away, as when an adapter is pulled out; false where
    // the line stays as it was.
    bool hangUp();

    // A port that is not there, and the system's own error numbers behind a
    // missing port and a port another opener holds.
    static QString missingPortName();
    static int missingPortSystemError();
    static int heldPortSystemError();

    // Wine runs the Windows build here; where it behaves unlike Windows, the
    // tests say so.
    static bool underWine();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
