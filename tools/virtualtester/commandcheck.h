#pragma once

#include <QByteArray>
#include <QString>

// Compares what the program sent on the line with the two command lines a
// tester expects before it answers. Bytes may arrive in any slicing.
class CommandCheck
{
public:
    enum class Verdict { Incomplete, Match, Missing, Wrong, Extra };

    static QByteArray expected();

    void append(const QByteArray &bytes);
    void clear();

    const QByteArray &received() const { return m_received; }
    // True once more bytes could no longer turn the verdict into a match;
    // Match is final only after the line has stayed quiet for a while.
    bool decided() const;
    // The verdict if the line stays quiet from now on.
    Verdict verdict() const;
    QString report() const;

    static QString escaped(const QByteArray &bytes);

private:
    qsizetype firstDifference() const;

    QByteArray m_received;
};
