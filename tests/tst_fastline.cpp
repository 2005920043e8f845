// The window on a line far faster than a tester's: the pane keeps up in
// bounded steps, shows everything before the save dialog, and the busy
// indicator keeps moving at a low frame rate while a download waits.
#include "downloadsession.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "modalguard.h"
#include "ptypair.h"
#include "windowchild.h"
#include "windowdriver.h"
#include "winserialdeviceasync.h"

#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <ctime>
#include <memory>
#include <thread>

namespace {

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

// Processor time of the calling thread, the window's: unlike the clock on
// the wall, it does not grow when other processes take the machine.
qint64 threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Sends data into the pty and runs the window until the save dialog is
// answered (rejected); the window's processor time for that, or -1.
qint64 transferCpuMs(MainWindow &window, PtyPair &pty, const QByteArray &data)
{
    if (!startDownload(window, pty))
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
    const qint64 cpuStart = threadCpuMs();
    std::thread writer([&] { pty.write(data, 120000); });
    const bool done = QTest::qWaitFor([&] { return answered; }, 240000);
    writer.join();
    return done ? threadCpuMs() - cpuStart : -1;
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
    void initTestCase();
    void burstIsWholeInThePaneWhenTheDialogComes();
    void cancelShowsEverythingKeptInTurns();
    void endlessLineCostsLikeShortLines();
    void paneKeepsTheNewestRecords();
    void lineThatNeverPausesIsStoppedAtTheLimit();
    void busyIndicatorMovesAtALowFrameRate();

private:
    std::unique_ptr<ModalGuard> guard;
};

// Every case here ends in the save dialog; a message box means the
// download itself failed.
void TestFastLine::initTestCase()
{
    guard = std::make_unique<ModalGuard>();
}

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

    QVERIFY(startDownload(window, pty));
    // Written at once, so that the window gets far more than a turn of its
    // event loop can show.
    const QByteArray data = records(15000);
    std::thread writer([&] { pty.write(data, 60000); });
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(window, "downloadBtn")->isVisible(), 120000);
    writer.join();
    QTRY_COMPARE_WITH_TIMEOUT(dialogs, 1, 30000);
    QCOMPARE(paneAtDialog.size(), shown(data).size());
    QVERIFY(paneAtDialog == shown(data));
    // The device is gone, so whatever it sent is queued by now: one dialog
    // once that has all been handled too.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window.findChildren<Cv::WinSerialDeviceAsync *>().isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(dialogs, 1);
}

void TestFastLine::cancelShowsEverythingKeptInTurns()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");
    QVERIFY(startDownload(window, pty));

    // A line without end, far more than the pane shows in a turn.
    const QByteArray data = endlessLine(2 * 1000 * 1000);
    std::atomic<bool> written = false;
    std::thread writer([&] {
        pty.write(data, 60000);
        written = true;
    });
    // Well into the line: a pane that lays out a long line again and again
    // lags far behind by now.
    QTRY_VERIFY_WITH_TIMEOUT(window.session().bytesKept() >= 1000000, 60000);
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuStart = threadCpuMs();
    child<QPushButton>(window, "cancelBtn")->click();
    const qint64 cancelCpuMs = threadCpuMs() - cpuStart;
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

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("kept.txt"));
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("answered").toBool())
            return;
        dialog->setProperty("answered", true);
        chooseFile(dialog, path);
    });
    answer.start(10);
    child<QPushButton>(window, "saveBtn")->click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray kept = file.readAll();
    QVERIFY(!kept.isEmpty());
    QVERIFY(data.startsWith(kept));
    // What was kept follows in the pane's own turns, and nothing else; the
    // pane keeps the newest of it, in whole display lines under its notice.
    const QString all = broken(shown(kept));
    QTRY_VERIFY_WITH_TIMEOUT(pane->toPlainText().endsWith(all.right(lineLimit)), 120000);
    QVERIFY(all.endsWith(pane->toPlainText().section(QLatin1Char('\n'), 1)));
    // Before, Cancel laid out the whole backlog at once: seconds of the
    // window's own work. The clock's bound only catches a Cancel that hangs.
    QVERIFY2(cancelCpuMs < 500, qPrintable(QString::number(cancelCpuMs)));
    QVERIFY2(cancelMs < 10000, qPrintable(QString::number(cancelMs)));
    qInfo("Cancel answered in %lld ms (%lld ms of the window's processor time)", cancelMs,
          cancelCpuMs);
}

void TestFastLine::endlessLineCostsLikeShortLines()
{
    // The same bytes, once in short lines and once as one line.
    const QByteArray lines = records(20000);
    const QByteArray line = QByteArray(lines).replace("\r\n", "\r");
    qint64 ms[2] = {};
    QString text[2];
    for (int i = 0; i < 2; ++i) {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        window.show();
        ms[i] = transferCpuMs(window, pty, i == 0 ? lines : line);
        QVERIFY(ms[i] >= 0);
        text[i] = child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText();
    }
    qInfo("%lld bytes: %lld ms of the window's processor time in short lines, %lld ms as one line",
          qint64(lines.size()), ms[0], ms[1]);
    // Before, the line cost many times its short-line time (its square).
    QVERIFY2(ms[1] < 2 * ms[0] + 300, qPrintable(QString::number(ms[1])));
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
    QVERIFY(transferCpuMs(window, pty, data) >= 0);

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

// A line that keeps sending far beyond a tester's memory: the download stops
// as if cancelled, says why, and offers what came for saving.
void TestFastLine::lineThatNeverPausesIsStoppedAtTheLimit()
{
    constexpr qint64 limit = 64 * 1024 * 1024;
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));

    QStringList boxes;
    int fileDialogs = 0;
    const ModalGuard::Answerer answering;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            boxes << box->text(), box->close();
        else if (modal)
            ++fileDialogs, modal->close();
    });
    answer.start(10);

    std::atomic<bool> stop{false};
    std::atomic<qint64> sent{0};
    std::thread writer([&] {
        const QByteArray block = records(50000).left(1024 * 1024);
        while (!stop && sent < 2 * limit && pty.write(block, 1000))
            sent += block.size();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.isEmpty(), 240000);
    stop = true;
    writer.join();

    QCOMPARE(boxes, QStringList(QStringLiteral(
                        "More than 64 MB arrived without a pause: this is not a tester's memory. "
                        "The download was stopped; what arrived can be saved.")));
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    QVERIFY(child<QPushButton>(window, "saveBtn")->isVisible());
    QVERIFY(window.findChildren<Cv::WinSerialDeviceAsync *>().isEmpty());
    const qint64 kept = window.session().bytesKept();
    QVERIFY2(kept > limit && kept < limit + 1024 * 1024, qPrintable(QString::number(kept)));
    QCOMPARE(fileDialogs, 0);
}

void TestFastLine::busyIndicatorMovesAtALowFrameRate()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));
    auto *busy = window.statusBar()->findChild<QProgressBar *>();
    QVERIFY(busy);
    QVERIFY(busy->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    PaintCounter counter;
    busy->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(2000);
    // Still moving...
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints >= 4, 10000);
    // ...at about ten frames a second, however long this took: a slow machine
    // gives fewer frames, never more. The style's own animation would give
    // some sixty; the slack is for repaints of the bar's own.
    const qint64 ms = clock.elapsed();
    QVERIFY2(counter.paints <= ms * 15 / 1000 + 3,
             qPrintable(QStringLiteral("%1 paints in %2 ms").arg(counter.paints).arg(ms)));
    child<QPushButton>(window, "cancelBtn")->click();
}

QTEST_MAIN(TestFastLine)
#include "tst_fastline.moc"
