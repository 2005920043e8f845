#include "panelimit.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

PaneLimit::PaneLimit(qsizetype maxCharacters) : maxCharacters(maxCharacters) {}

void PaneLimit::apply(QTextDocument *document, const QString &notice)
{
    // An eighth over before anything goes: removing is paid per batch, not
    // per slice.
    if (document->characterCount() <= maxCharacters + maxCharacters / 8)
        return;
    if (!noticeShown) {
        QTextCursor top(document);
        top.insertText(notice + QLatin1Char('\n'));
        noticeShown = true;
    }
    const QTextBlock firstRecords = document->firstBlock().next();
    const QTextBlock keep = document->findBlock(document->characterCount() - maxCharacters);
    if (!firstRecords.isValid() || keep.blockNumber() <= firstRecords.blockNumber())
        return;
    QTextCursor cut(document);
    cut.setPosition(firstRecords.position());
    cut.setPosition(keep.position(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void PaneLimit::dropShown(QTextDocument *document, const QString &notice)
{
    document->clear();
    QTextCursor(document).insertText(notice + QLatin1Char('\n'));
    noticeShown = true;
}
