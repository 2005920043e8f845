#pragma once

#include <QByteArray>
#include <QString>

class PtyPair;
class QWidget;

// The two command lines a download sends first, as the tester sees them.
extern const QByteArray downloadCommandsOnTheLine;

// The window offers one port, "pty", that opens openName; none for a null name.
void usePort(QWidget &window, const QString &openName);
// Presses "Download" on the pty's port; true once exactly the two commands
// have come out (waited for generously: a busy machine starts slowly).
bool startDownload(QWidget &window, PtyPair &pty);
