// The real window under measurement, one mode a process:
//   download  inside the virtual tester: a whole download from its adapter
//   headroom  a fast transfer through a pseudo-terminal, `cat` first
//   idle      a download waiting for a tester that never sends
//   lines80 / nobreak  a fast transfer of the same characters in lines of 80,
//             or as one line without end: time until the pane shows it
//   cancel    Cancel pressed halfway through a transfer without line breaks
//   endless   a tester that never stops (4x BYTES sent): the window stops by
//             itself at its limit, then the save
//   pane      the memory reference: the same text in a bare read-only pane
//   document  the same text in a text document with no view
// Results go to the file named by CV_BENCH_OUT.
#include "benchclock.h"
#include "downloadsession.h"
#include "heartbeat.h"
#include "mainwindow.h"
#include "panefeed.h"
#include "payload.h"
#include "ptypair.h"
#include "savedialoganswer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace {

using Results = QMap<QString, QString>;

template<typename T> T *child(const QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1StringView(name));
}

// Runs the event loop until `done` holds, looking every few milliseconds.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Runs the event loop for a while without waking it up in between.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 cpuNs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval &tv) {
        return qint64(tv.tv_sec) * 1000000000 + tv.tv_usec * 1000;
    };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void usePort(MainWindow &window, const QString &openName)
{
    auto *ports = child<QComboBox>(window, "comPorts");
    ports->clear();
    ports->addItem(QStringLiteral("pty"), openName);
}

// Starts the download and reports, after the window has kept each chunk,
// how many bytes it holds.
bool startDownload(MainWindow &window, const std::function<void(qint64)> &kept)
{
    child<QPushButton>(window, "downloadBtn")->click();
    const DownloadSession &session = window.session();
    if (!session.isRunning())
        return false;
    // Connected after the window's own slot, so it runs once the bytes are taken.
    QObject::connect(&session, &DownloadSession::recordsKept, &window,
                     [&session, kept] { kept(session.bytesKept()); });
    return true;
}

// Saves as the user does, with the button offered after a download.
void clickSave(MainWindow &window)
{
    child<QPushButton>(window, "saveBtn")->click();
}

int download(Results &results)
{
    const QByteArray records = fileBytes(qEnvironmentVariable("CV_BENCH_RECORDS"));
    QTemporaryDir dir;
    if (records.isEmpty() || !dir.isValid())
        return 2;
    const QString path = dir.filePath(QStringLiteral("records.csv"));

    MainWindow window;
    window.show();
    SaveDialogAnswer answer(path);
    qApp->installEventFilter(&answer);
    spin(100);

    qint64 firstKept = 0;
    qint64 lastKept = 0;
    qint64 keptCount = 0;
    if (!startDownload(window, [&](qint64 count) {
            if (count == keptCount)
                return;
            lastKept = monotonicNs();
            if (!firstKept)
                firstKept = lastKept;
            keptCount = count;
        }))
        return 2;
    if (!waitUntil([&] { return QFileInfo::exists(path); }, 180000))
        return 3;
    results[QStringLiteral("first_kept_ns")] = QString::number(firstKept);
    results[QStringLiteral("last_kept_ns")] = QString::number(lastKept);
    results[QStringLiteral("dialog_ns")] = QString::number(answer.shownAtNs());
    results[QStringLiteral("bytes")] = QString::number(keptCount);
    results[QStringLiteral("identical")] = QString::number(fileBytes(path) == records);
    return 0;
}

// Writes the payload into the pty's master from another thread, until it is
// all written or it is told to stop.
class PayloadWriter
{
public:
    PayloadWriter(PtyPair &pty, const Payload &payload)
        : thread([this, &pty, &payload] {
            for (qint64 offset = 0; offset < payload.size() && ok && !stopped;) {
                const QByteArray chunk = payload.chunkAt(offset);
                ok = pty.write(chunk, 60000);
                offset += chunk.size();
            }
            done = true;
        })
    {}
    ~PayloadWriter() { join(); }
    bool join()
    {
        if (thread.joinable())
            thread.join();
        return ok;
    }
    // Stops at the next chunk; what is in flight goes into the slave side,
    // which nobody reads once the window has closed the port.
    void stop(PtyPair &pty)
    {
        stopped = true;
        char sink[65536];
        while (!done) {
            pollfd pfd{pty.slave(), POLLIN, 0};
            if (::poll(&pfd, 1, 20) > 0 && ::read(pty.slave(), sink, sizeof sink) < 0)
                break;
        }
        join();
    }

private:
    std::atomic<bool> ok = true;
    std::atomic<bool> stopped = false;
    std::atomic<bool> done = false;
    std::thread thread;
};

// The last characters the pane shows once it has all of the payload,
// computed the way the window breaks its lines.
QString shownTail(const Payload &payload, qsizetype count)
{
    PaneFeed feed(1024);
    RecordBlocks window;
    QString tail;
    for (qint64 offset = 0; offset < payload.size();) {
        const QByteArray chunk = payload.chunkAt(offset);
        offset += chunk.size();
        const qint64 start = window.size();
        window.append(chunk);
        feed.chunkKept(window, start);
        while (feed.behind(window))
            tail += feed.take(window, 1 << 20);
        if (tail.size() > 4 * count)
            tail = tail.right(count);
    }
    return tail.right(count);
}

bool paneEndsWith(const QTextDocument *document, const QString &tail)
{
    const int end = document->characterCount() - 1;
    if (end < tail.size())
        return false;
    for (qsizetype i = 0; i < tail.size(); ++i) {
        // The document stands a paragraph separator for each line break.
        const QChar expected =
            tail.at(i) == QLatin1Char('\n') ? QChar(QChar::ParagraphSeparator) : tail.at(i);
        if (document->characterAt(end - int(tail.size()) + int(i)) != expected)
            return false;
    }
    return true;
}

// A fast transfer of one shape into the window. Without cancelAt, the time
// until the pane shows all of it and the longest GUI stall until the save
// dialog; with it, Cancel pressed once the window keeps that many bytes, how
// long Cancel takes to be answered, the save of what was kept, and the peak
// memory.
// cancelAt: 0 for the whole transfer, > 0 to press Cancel once that much is
// kept, < 0 to wait until the window stops the download by itself.
int throughWindow(Results &results, qint64 size, Payload::Shape shape, qint64 cancelAt)
{
    PtyPair pty;
    QTemporaryDir dir;
    if (!pty.isValid() || !dir.isValid())
        return 2;
    termios raw = pty.slaveTermios();
    ::cfmakeraw(&raw);
    ::tcsetattr(pty.slave(), TCSANOW, &raw);
    const Payload payload(size, shape);
    const QString tail = cancelAt != 0 ? QString() : shownTail(payload, 256);

    const QString path = dir.filePath(QStringLiteral("transfer.csv"));
    MainWindow window;
    window.show();
    SaveDialogAnswer answer(path);
    qApp->installEventFilter(&answer);
    usePort(window, pty.slavePath());
    spin(300);
    const qint64 baselineKb = statusKb("VmHWM:");
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");

    Heartbeat heartbeat;
    qint64 paneDone = 0;
    qint64 stall = 0;
    if (!tail.isEmpty()) {
        QObject::connect(pane->document(), &QTextDocument::contentsChange, pane, [&] {
            if (!paneDone && paneEndsWith(pane->document(), tail))
                paneDone = monotonicNs();
        });
    }
    QObject::connect(&answer, &SaveDialogAnswer::dialogShown, &answer,
                     [&] { stall = heartbeat.longestGapNs(); });
    if (!startDownload(window, [](qint64) {}))
        return 2;
    const auto counted = [&window] { return window.session().bytesKept(); };
    pty.drain(500); // the commands
    heartbeat.restart();
    const qint64 start = monotonicNs();
    PayloadWriter writer(pty, payload);
    if (cancelAt > 0) {
        if (!waitUntil([&] { return counted() >= cancelAt; }, 600000))
            return 3;
        const qint64 kept = counted();
        const qint64 pressed = monotonicNs();
        child<QPushButton>(window, "cancelBtn")->click();
        // Answered: the click handled and the event loop free again.
        qint64 answered = 0;
        QTimer::singleShot(0, &window, [&] { answered = monotonicNs(); });
        waitUntil([&] { return answered != 0; }, 60000);
        writer.stop(pty);
        stall = heartbeat.longestGapNs();
        clickSave(window);
        results[QStringLiteral("kept")] = QString::number(kept);
        results[QStringLiteral("cancel_ns")] = QString::number(answered - pressed);
        results[QStringLiteral("saved")] = QString::number(QFileInfo(path).size());
        results[QStringLiteral("prefix_exact")] = QString::number(payload.startsFile(path));
    } else if (cancelAt < 0) {
        // The window's own stop ends in a box that says why.
        qint64 boxShown = 0;
        QTimer boxes;
        QObject::connect(&boxes, &QTimer::timeout, &window, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxShown = monotonicNs();
                stall = heartbeat.longestGapNs();
                box->close();
            }
        });
        boxes.start(5);
        if (!waitUntil([&] { return boxShown != 0; }, 600000))
            return 3;
        writer.stop(pty);
        const qint64 kept = counted();
        clickSave(window);
        results[QStringLiteral("kept")] = QString::number(kept);
        results[QStringLiteral("box_ns")] = QString::number(boxShown - start);
        results[QStringLiteral("saved")] = QString::number(QFileInfo(path).size());
        results[QStringLiteral("prefix_exact")] = QString::number(payload.startsFile(path));
    } else {
        if (!waitUntil([&] { return QFileInfo::exists(path); }, 600000))
            return 3;
        writer.join();
        results[QStringLiteral("window_ns")] = QString::number(paneDone - start);
        results[QStringLiteral("identical")] = QString::number(payload.matchesFile(path));
        results[QStringLiteral("pane_complete")] = QString::number(paneDone != 0);
    }
    results[QStringLiteral("stall_ns")] = QString::number(stall);
    results[QStringLiteral("baseline_kb")] = QString::number(baselineKb);
    results[QStringLiteral("peak_kb")] = QString::number(statusKb("VmHWM:"));
    return 0;
}

int headroom(Results &results, qint64 size)
{
    PtyPair pty;
    QTemporaryDir dir;
    if (!pty.isValid() || !dir.isValid())
        return 2;
    termios raw = pty.slaveTermios();
    ::cfmakeraw(&raw);
    ::tcsetattr(pty.slave(), TCSANOW, &raw);
    const Payload payload(size);

    // The reference: the same pty read by `cat` into a file.
    {
        const QString catPath = dir.filePath(QStringLiteral("cat.out"));
        QProcess cat;
        cat.setStandardInputFile(pty.slavePath());
        cat.setStandardOutputFile(catPath);
        cat.start(QStringLiteral("cat"), {});
        if (!cat.waitForStarted())
            return 2;
        const qint64 start = monotonicNs();
        PayloadWriter writer(pty, payload);
        QElapsedTimer clock;
        clock.start();
        while (QFileInfo(catPath).size() < size && clock.elapsed() < 120000)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const qint64 end = monotonicNs();
        writer.join();
        cat.kill();
        cat.waitForFinished();
        results[QStringLiteral("cat_ns")] = QString::number(end - start);
        results[QStringLiteral("cat_identical")] = QString::number(payload.matchesFile(catPath));
    }

    const QString path = dir.filePath(QStringLiteral("transfer.csv"));
    MainWindow window;
    window.show();
    SaveDialogAnswer answer(path);
    qApp->installEventFilter(&answer);
    usePort(window, pty.slavePath());
    spin(300);
    const qint64 baselineKb = statusKb("VmHWM:");

    // The pane keeps only the newest records: it is through once it ends
    // with the last of them.
    const QString tail = shownTail(payload, 256);
    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");

    // The transfer is through once the pane shows all of it; the GUI is
    // watched until the save dialog is up.
    Heartbeat heartbeat;
    qint64 lastKept = 0;
    qint64 paneDone = 0;
    qint64 stall = 0;
    QObject::connect(pane->document(), &QTextDocument::contentsChange, pane, [&] {
        if (!paneDone && paneEndsWith(pane->document(), tail))
            paneDone = monotonicNs();
    });
    QObject::connect(&answer, &SaveDialogAnswer::dialogShown, &answer,
                     [&] { stall = heartbeat.longestGapNs(); });
    if (!startDownload(window, [&](qint64 count) {
            if (count >= size && !lastKept)
                lastKept = monotonicNs();
        }))
        return 2;
    pty.drain(500); // the commands
    heartbeat.restart();
    const qint64 start = monotonicNs();
    PayloadWriter writer(pty, payload);
    if (!waitUntil([&] { return QFileInfo::exists(path); }, 300000))
        return 3;
    writer.join();
    const qint64 peakKb = statusKb("VmHWM:");

    results[QStringLiteral("kept_ns")] = QString::number(lastKept - start);
    results[QStringLiteral("stall_end_ns")] = QString::number(heartbeat.longestGapEndNs() - start);
    results[QStringLiteral("dialog_ns")] = QString::number(answer.shownAtNs() - start);
    results[QStringLiteral("end_rss_kb")] = QString::number(statusKb("VmRSS:"));
    results[QStringLiteral("window_ns")] = QString::number(paneDone - start);
    results[QStringLiteral("stall_ns")] = QString::number(stall);
    results[QStringLiteral("identical")] = QString::number(payload.matchesFile(path));
    results[QStringLiteral("pane_complete")] = QString::number(paneDone != 0);
    results[QStringLiteral("lines")] = QString::number(pane->document()->blockCount());
    results[QStringLiteral("baseline_kb")] = QString::number(baselineKb);
    results[QStringLiteral("peak_kb")] = QString::number(peakKb);
    return 0;
}

// What the text pane alone costs for the text of a headroom transfer, put in
// at its end in the slices the window uses, with the events in between that
// lay it out and paint it; or, without the view, what its document alone
// holds.
int paneOnly(Results &results, qint64 size, bool withView)
{
    QPlainTextEdit pane;
    pane.setReadOnly(true);
    pane.setUndoRedoEnabled(false);
    pane.resize(800, 500);
    if (withView)
        pane.show();
    QTextDocument document;
    document.setUndoRedoEnabled(false);
    QTextDocument *text = withView ? pane.document() : &document;
    spin(300);
    const Payload payload(size);
    const qint64 baselineKb = statusKb("VmHWM:");
    QTextCursor end(text);
    for (qint64 offset = 0; offset < size;) {
        QByteArray chunk = payload.chunkAt(offset);
        offset += chunk.size();
        chunk.removeIf([](char c) { return c == '\r'; });
        for (qsizetype at = 0; at < chunk.size(); at += 16384) {
            end.movePosition(QTextCursor::End);
            end.insertText(QString::fromLatin1(chunk.mid(at, 16384)));
            if (withView) {
                pane.moveCursor(QTextCursor::End);
                pane.ensureCursorVisible();
            }
            QCoreApplication::processEvents();
        }
    }
    spin(300);
    results[QStringLiteral("peak_kb")] = QString::number(statusKb("VmHWM:") - baselineKb);
    results[QStringLiteral("lines")] = QString::number(text->blockCount());
    return 0;
}

int idle(Results &results, int seconds)
{
    PtyPair pty;
    if (!pty.isValid())
        return 2;
    MainWindow window;
    // The size at which desktop terminals were compared with it.
    window.resize(800, 600);
    window.show();
    usePort(window, pty.slavePath());
    if (!startDownload(window, [](qint64) {}))
        return 2;
    spin(1000);
    const qint64 cpu0 = cpuNs();
    const qint64 wall0 = monotonicNs();
    spin(seconds * 1000);
    results[QStringLiteral("cpu_ns")] = QString::number(cpuNs() - cpu0);
    results[QStringLiteral("wall_ns")] = QString::number(monotonicNs() - wall0);
    results[QStringLiteral("still_waiting")] =
        QString::number(child<QPushButton>(window, "cancelBtn")->isVisible());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    Results results;
    int status = 2;
    const qint64 bytes = args.value(2, QStringLiteral("20971520")).toLongLong();
    if (mode == QLatin1String("download"))
        status = download(results);
    else if (mode == QLatin1String("headroom"))
        status = headroom(results, bytes);
    else if (mode == QLatin1String("pane") || mode == QLatin1String("document"))
        status = paneOnly(results, bytes, mode == QLatin1String("pane"));
    else if (mode == QLatin1String("lines80"))
        status = throughWindow(results, bytes, Payload::Shape::Lines80, 0);
    else if (mode == QLatin1String("nobreak"))
        status = throughWindow(results, bytes, Payload::Shape::NoBreak, 0);
    else if (mode == QLatin1String("cancel"))
        status = throughWindow(results, bytes, Payload::Shape::NoBreak, bytes / 2);
    else if (mode == QLatin1String("endless"))
        status = throughWindow(results, 4 * bytes, Payload::Shape::Records, -1);
    else if (mode == QLatin1String("idle"))
        status = idle(results, args.value(2, QStringLiteral("20")).toInt());
    else
        std::fprintf(stderr, "usage: velmora-bench-window download | headroom [BYTES] | pane "
                             "[BYTES] | document [BYTES] | idle [SECONDS] | lines80 [BYTES] | "
                             "nobreak [BYTES] | cancel [BYTES] | endless [BYTES]\n");
    if (status == 0 && !writeResults(qEnvironmentVariable("CV_BENCH_OUT"), results))
        status = 2;
    return status;
}
