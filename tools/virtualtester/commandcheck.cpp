#include "commandcheck.h"

#include "downloadline.h"

QByteArray CommandCheck::expected()
{
    QByteArray all;
    for (const QByteArray &command : Cv::downloadCommands())
        all += command;
    return all;
}

void CommandCheck::append(const QByteArray &bytes)
{
    m_received.append(bytes);
}

void CommandCheck::clear()
{
    m_received.clear();
}

qsizetype CommandCheck::firstDifference() const
{
    const QByteArray want = expected();
    const qsizetype common = qMin(want.size(), m_received.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (want.at(i) != m_received.at(i))
            return i;
    }
    return -1;
}

bool CommandCheck::decided() const
{
    return m_received.size() >= expected().size() || firstDifference() >= 0;
}

CommandCheck::Verdict CommandCheck::verdict() const
{
    if (m_received.isEmpty())
        return Verdict::Incomplete;
    if (firstDifference() >= 0)
        return Verdict::Wrong;
    const qsizetype want = expected().size();
    if (m_received.size() < want)
        return Verdict::Missing;
    return m_received.size() == want ? Verdict::Match : Verdict::Extra;
}

QString CommandCheck::report() const
{
    const QByteArray want = expected();
    const qsizetype got = m_received.size();
    switch (verdict()) {
    case Verdict::Incomplete:
        return QStringLiteral("no command bytes received");
    case Verdict::Match:
        return QStringLiteral("commands OK: %1 (%2 bytes)").arg(escaped(m_received)).arg(got);
    case Verdict::Missing:
        return QStringLiteral("commands FAILED: %1 bytes missing: received %2 of %3 bytes %4, "
                              "missing %5")
            .arg(want.size() - got)
            .arg(got)
            .arg(want.size())
            .arg(escaped(m_received), escaped(want.mid(got)));
    case Verdict::Extra:
        return QStringLiteral("commands FAILED: %1 extra bytes after the %2 expected: %3")
            .arg(got - want.size())
            .arg(want.size())
            .arg(escaped(m_received.mid(want.size())));
    case Verdict::Wrong:
        break;
    }
    const qsizetype at = firstDifference();
    const auto describe = [](char c) {
        const QByteArray one(1, c);
        return QStringLiteral("%1 (0x%2)")
            .arg(escaped(one))
            .arg(uint(uchar(c)), 2, 16, QLatin1Char('0'));
    };
    return QStringLiteral("commands FAILED: wrong byte at offset %1: expected %2, got %3; "
                          "expected %4 (%5 bytes), received %6 (%7 bytes)")
        .arg(at)
        .arg(describe(want.at(at)), describe(m_received.at(at)), escaped(want))
        .arg(want.size())
        .arg(escaped(m_received))
        .arg(got);
}

QString CommandCheck::escaped(const QByteArray &bytes)
{
    QString out(QLatin1Char('"'));
    for (const char c : bytes) {
        const uchar u = uchar(c);
        switch (c) {
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '"':
        case '\\':
            out += QLatin1Char('\\');
            out += QLatin1Char(c);
            break;
        default:
            if (u < 0x20 || u >= 0x7f)
                out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
            else
                out += QLatin1Char(c);
        }
    }
    out += QLatin1Char('"');
    return out;
}
