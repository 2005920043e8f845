#pragma once

#include <QString>

class QTextDocument;

// Keeps the pane to about its last maxCharacters characters. A tester that
// never stops (a wrong device streaming, a looping tester) would otherwise
// grow the pane without bound, at several times the bytes it shows. Whole
// lines go from the top, in batches, under a first line that says earlier
// records are in the file only.
class PaneLimit
{
public:
    explicit PaneLimit(qsizetype maxCharacters);

    // A new download, in an empty pane.
    void restart() { noticeShown = false; }
    void apply(QTextDocument *document, const QString &notice);
    // The records that come next follow none of those shown: they all go,
    // the notice stays.
    void dropShown(QTextDocument *document, const QString &notice);

private:
    const qsizetype maxCharacters;
    bool noticeShown = false;
};
