// The window on a line far faster than a tester's: the pane keeps up in
// bounded steps, shows everything before the save dialog, and the busy
// indicator keeps moving at a low frame rate while a download waits.
#include "mainwindow.h"
#include "ptypair.h"
#include "serialfixtures.h"

#include <QComboBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <thread>

namespace {

template<typename T> T *child(const QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1StringView(name));
}

void startDownload(MainWindow &window, PtyPair &pty)
{
    auto *ports = child<QComboBox>(window, "comPorts");
    ports->clear();
    ports->addItem(QStringLiteral("pty"), pty.slavePath());
    child<QPushButton>(window, "downloadBtn")->click();
}

QByteArray records(int lines)
{
    QByteArray data;
    for (int i = 0; i < lines; ++i)
        data += QByteArray::number(i) + ",230.5,0.45,PASS\r\n";
    return data;
}

QString shown(const QByteArray &bytes)
{
    return QString::fromLatin1(QByteArray(bytes).replace("\r", ""));
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestFastLine : public QObject
{
    Q_OBJECT

private slots:
    void burstIsWholeInThePaneWhenTheDialogComes();
    void cancelShowsEverythingKept();
    void busyIndicatorMovesAtALowFrameRate();
};

void TestFastLine::burstIsWholeInThePaneWhenTheDialogComes()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");

    int dialogs = 0;
    QString paneAtDialog;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("answered").toBool())
            return;
        dialog->setProperty("answered", true);
        ++dialogs;
        paneAtDialog = pane->toPlainText();
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    answer.start(10);

    startDownload(window, pty);
    QVERIFY(!pty.read(25).isEmpty());
    // Written at once, so that the window gets far more than a turn of its
    // event loop can show.
    const QByteArray data = records(15000);
    std::thread writer([&] { pty.write(data, 60000); });
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(window, "downloadBtn")->isVisible(), 120000);
    writer.join();
    QTRY_COMPARE_WITH_TIMEOUT(dialogs, 1, 30000);
    QCOMPARE(paneAtDialog.size(), shown(data).size());
    QVERIFY(paneAtDialog == shown(data));
    QTest::qWait(200);
    QCOMPARE(dialogs, 1);
}

void TestFastLine::cancelShowsEverythingKept()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");
    startDownload(window, pty);
    QVERIFY(!pty.read(25).isEmpty());

    const QByteArray data = records(8000);
    std::thread writer([&] { pty.write(data, 60000); });
    QTRY_VERIFY_WITH_TIMEOUT(!pane->toPlainText().isEmpty(), 30000);
    child<QPushButton>(window, "cancelBtn")->click();
    writer.join();

    // Whatever was kept is in the pane at once, and nothing else.
    const QString text = pane->toPlainText();
    QVERIFY(!text.isEmpty());
    QVERIFY(shown(data).startsWith(text));
    QVERIFY(child<QPushButton>(window, "saveBtn")->isVisible());
    QTest::qWait(100);
    QCOMPARE(pane->toPlainText(), text);
}

void TestFastLine::busyIndicatorMovesAtALowFrameRate()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    startDownload(window, pty);
    auto *busy = window.statusBar()->findChild<QProgressBar *>();
    QVERIFY(busy);
    QVERIFY(busy->isVisible());
    QTest::qWait(300);

    PaintCounter counter;
    busy->installEventFilter(&counter);
    QTest::qWait(2000);
    // About ten frames a second: still moving, far below the style's own rate.
    QVERIFY2(counter.paints >= 4, qPrintable(QString::number(counter.paints)));
    QVERIFY2(counter.paints <= 30, qPrintable(QString::number(counter.paints)));
    child<QPushButton>(window, "cancelBtn")->click();
}

QTEST_MAIN(TestFastLine)
#include "tst_fastline.moc"
