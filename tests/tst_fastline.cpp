// The window on a line far faster than a tester's: the pane keeps up in
// bounded steps, shows everything before the save dialog, and the busy
// indicator keeps moving at a low frame rate while a download waits.
#include "mainwindow.h"
#include "ptypair.h"
#include "serialfixtures.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
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

qint64 receivedCount(const MainWindow &window)
{
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>()) {
        if (label->isVisible() && label->text().endsWith(QLatin1String("bytes received")))
            return label->text()
                .section(QLatin1Char(' '), 0, 0)
                .remove(QLatin1Char(','))
                .toLongLong();
    }
    return 0;
}

// The pane breaks a line after this many characters without a break.
constexpr qsizetype lineLimit = 1024;

QString broken(const QString &text)
{
    QString result;
    qsizetype column = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            column = -1;
        else if (column == lineLimit)
            result += QLatin1Char('\n'), column = 0;
        result += c;
        ++column;
    }
    return result;
}

// One line without end: what a tester that ends its lines with a lone
// carriage return gives once those are removed.
QByteArray endlessLine(qsizetype size)
{
    QByteArray data = records(int(size / 20) + 1).replace("\r\n", "\r");
    data.truncate(size);
    return data;
}

// Sends data into the pty and runs the window until the save dialog is
// answered (rejected); the time that took.
qint64 transferMs(MainWindow &window, PtyPair &pty, const QByteArray &data)
{
    startDownload(window, pty);
    if (pty.read(25).isEmpty())
        return -1;
    bool answered = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &window, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            answered = true;
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        }
    });
    answer.start(10);
    QElapsedTimer clock;
    clock.start();
    std::thread writer([&] { pty.write(data, 120000); });
    const bool done = QTest::qWaitFor([&] { return answered; }, 240000);
    writer.join();
    return done ? clock.elapsed() : -1;
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
    void cancelShowsEverythingKeptInTurns();
    void endlessLineCostsLikeShortLines();
    void paneKeepsTheNewestRecords();
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

void TestFastLine::cancelShowsEverythingKeptInTurns()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");
    startDownload(window, pty);
    QVERIFY(!pty.read(25).isEmpty());

    // A line without end, far more than the pane shows in a turn.
    // Within what the pane keeps, so that it shows all of it.
    const QByteArray data = endlessLine(2 * 1000 * 1000);
    std::atomic<bool> written = false;
    std::thread writer([&] {
        pty.write(data, 60000);
        written = true;
    });
    // Well into the line: a pane that lays out a long line again and again
    // lags far behind by now.
    QTRY_VERIFY_WITH_TIMEOUT(receivedCount(window) >= 1000000, 60000);
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(window, "cancelBtn")->click();
    const qint64 cancelMs = clock.elapsed();
    // The rest of the line goes nowhere once the port is closed.
    char sink[65536];
    while (!written) {
        pollfd pfd{pty.slave(), POLLIN, 0};
        if (::poll(&pfd, 1, 50) > 0 && ::read(pty.slave(), sink, sizeof sink) < 0)
            break;
    }
    writer.join();
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    QVERIFY(child<QPushButton>(window, "saveBtn")->isVisible());

    // What was kept follows in the pane's own turns, and nothing else.
    QVERIFY(pane->toPlainText().size() < broken(shown(data)).size());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("kept.txt"));
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("answered").toBool())
            return;
        dialog->setProperty("answered", true);
        dialog->setDirectory(dir.path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("kept.txt"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    answer.start(10);
    QMetaObject::invokeMethod(&window, "saveFile");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray kept = file.readAll();
    QVERIFY(!kept.isEmpty());
    QVERIFY(data.startsWith(kept));
    QTRY_COMPARE_WITH_TIMEOUT(pane->toPlainText(), broken(shown(kept)), 120000);
    // Generous against a busy machine; before, Cancel laid out the whole
    // backlog at once.
    QVERIFY2(cancelMs < 1000, qPrintable(QString::number(cancelMs)));
    qInfo("Cancel answered in %lld ms", cancelMs);
}

void TestFastLine::endlessLineCostsLikeShortLines()
{
    // The same bytes, once in short lines and once as one line.
    const QByteArray lines = records(30000);
    const QByteArray line = QByteArray(lines).replace("\r\n", "\r");
    qint64 ms[2] = {};
    QString text[2];
    for (int i = 0; i < 2; ++i) {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        window.show();
        ms[i] = transferMs(window, pty, i == 0 ? lines : line);
        QVERIFY(ms[i] > 0);
        text[i] = child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText();
    }
    qInfo("%lld bytes: %lld ms in short lines, %lld ms as one line", qint64(lines.size()), ms[0],
          ms[1]);
    // Both include the second of quiet that ends a transfer. Before, the line
    // cost many times its short-line time (its square).
    QVERIFY2(ms[1] < 2 * ms[0] + 1000, qPrintable(QString::number(ms[1])));
    QCOMPARE(text[0], shown(lines));
    QCOMPARE(text[1], broken(shown(line)));
}

void TestFastLine::paneKeepsTheNewestRecords()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");
    const QByteArray data = records(150000); // about 3 MB, beyond what the pane keeps
    QVERIFY(transferMs(window, pty, data) > 0);

    const QString text = pane->toPlainText();
    const QString all = shown(data);
    QVERIFY2(text.size() < all.size() * 3 / 4, qPrintable(QString::number(text.size())));
    QVERIFY(text.startsWith(QLatin1String("Earlier records are no longer shown here; they are "
                                          "all kept and saved to the file.\n")));
    // Whole records after the notice, through to the last one.
    const QString kept = text.section(QLatin1Char('\n'), 1);
    QVERIFY(all.endsWith(kept));
    QVERIFY(all.at(all.size() - kept.size() - 1) == QLatin1Char('\n'));
    QVERIFY(child<QPushButton>(window, "saveBtn")->isVisible());
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
