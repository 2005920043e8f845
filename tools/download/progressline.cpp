#include "progressline.h"

#include <cstdio>

namespace {

// A terminal follows the count smoothly; a log gets a line now and then.
constexpr qint64 terminalStepMs = 100;
constexpr qint64 logStepMs = 5000;

} // namespace

ProgressLine::ProgressLine(bool shown, bool terminal) : shown(shown), terminal(terminal) {}

QString ProgressLine::bytesText(qint64 bytes)
{
    return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
}

void ProgressLine::write(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void ProgressLine::endCountLine()
{
    if (countLineOpen)
        write(QStringLiteral("\n"));
    countLineOpen = false;
}

void ProgressLine::note(const QString &text)
{
    if (!shown)
        return;
    endCountLine();
    write(text + QLatin1Char('\n'));
}

void ProgressLine::failure(const QString &text)
{
    endCountLine();
    write(QStringLiteral("velmora-download: ") + text + QLatin1Char('\n'));
}

void ProgressLine::count(qint64 bytes)
{
    counted = bytes;
    if (!shown || finished)
        return;
    if (shownCount >= 0 && sinceShown.elapsed() < (terminal ? terminalStepMs : logStepMs))
        return;
    sinceShown.start();
    shownCount = bytes;
    const QString text = bytesText(bytes) + QStringLiteral(" received");
    if (terminal) {
        // The count only grows, so the new text covers the old.
        write(QLatin1Char('\r') + text);
        countLineOpen = true;
    } else {
        write(text + QLatin1Char('\n'));
    }
}

void ProgressLine::finish()
{
    if (finished)
        return;
    finished = true;
    if (!shown || shownCount < 0 || shownCount == counted) {
        endCountLine();
        return;
    }
    const QString text = bytesText(counted) + QStringLiteral(" received");
    write(terminal ? QLatin1Char('\r') + text + QLatin1Char('\n') : text + QLatin1Char('\n'));
    countLineOpen = false;
}
