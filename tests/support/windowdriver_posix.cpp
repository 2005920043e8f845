#include "windowdriver.h"

#include "ptypair.h"
#include "windowchild.h"

#include <QComboBox>
#include <QPushButton>

const QByteArray downloadCommandsOnTheLine = QByteArrayLiteral("SYST:REM\r\nMEM:DATA? ALL\r\n");

void usePort(QWidget &window, const QString &openName)
{
    QComboBox *ports = child<QComboBox>(window, "comPorts");
    ports->clear();
    if (!openName.isNull())
        ports->addItem(QStringLiteral("pty"), openName);
}

bool startDownload(QWidget &window, PtyPair &pty)
{
    usePort(window, pty.slavePath());
    child<QPushButton>(window, "downloadBtn")->click();
    return pty.read(downloadCommandsOnTheLine.size(), 30000) == downloadCommandsOnTheLine;
}
