// Builds the benchmark table: runs each measurement several times in fresh
// processes, takes medians, prints the table and writes it with the machine
// it ran on.
#include "benchclock.h"
#include "downloadsession.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <tuple>
#include <utility>

namespace {

using Results = QMap<QString, QString>;

double median(QList<double> values)
{
    if (values.isEmpty())
        return qQNaN();
    std::sort(values.begin(), values.end());
    const qsizetype mid = values.size() / 2;
    return values.size() % 2 ? values.at(mid) : (values.at(mid - 1) + values.at(mid)) / 2;
}

struct Row
{
    QString measurement;
    QString result;
    QString reference;
    QString target;
    bool met = false;
};

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

QString cpuModel()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QSysInfo::currentCpuArchitecture();
}

void progress(const QString &text)
{
    std::fprintf(stderr, "velmora-bench: %s\n", qPrintable(text));
    std::fflush(stderr);
}

class Bench
{
public:
    Bench(const QString &binDir, int runs) : bin(binDir), runs(runs)
    {
        runtimeDir = scratch.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtimeDir);
        QFile::setPermissions(runtimeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    ~Bench()
    {
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            xvfb.waitForFinished(5000);
        }
    }

    bool startUp();
    bool idleCost(int seconds);
    bool headroom(qint64 size);
    bool longLine(qint64 size);
    bool endless(qint64 size);
    bool lineRate();

    QList<Row> rows;
    QStringList notes;

private:
    QProcessEnvironment environment(const QString &out) const;
    bool startXvfb();
    std::optional<Results> probe(const QString &program, const QStringList &args, int timeoutMs,
                                 qint64 *startedAt = nullptr);
    void fail(const QString &what, const QProcess &process);

    QString bin;
    int runs;
    QTemporaryDir scratch;
    QString runtimeDir;
    int probes = 0;
    // The idle window is drawn on an X server of the bench's own, as on a
    // desktop: offscreen, nothing would repaint at all.
    QProcess xvfb;
    QString display;
    bool drawn = false;
    // Peak memory growth of the headroom run, and its size: the fixed part
    // that the endless run's growth per byte is measured beyond.
    double headroomGrowth = 0;
    double headroomBytes = 0;
};

QProcessEnvironment Bench::environment(const QString &out) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (drawn) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    // Every process starts from empty settings, never the user's.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("CV_BENCH_OUT"), out);
    return env;
}

void Bench::fail(const QString &what, const QProcess &process)
{
    std::fprintf(stderr, "velmora-bench: %s failed (exit %d, %s)\n", qPrintable(what),
                 process.exitCode(), qPrintable(process.errorString()));
}

std::optional<Results> Bench::probe(const QString &program, const QStringList &args, int timeoutMs,
                                    qint64 *startedAt)
{
    const QString out = scratch.filePath(QStringLiteral("probe-%1.txt").arg(++probes));
    const QString log = out + QStringLiteral(".log");
    QProcess process;
    process.setProcessEnvironment(environment(out));
    process.setWorkingDirectory(bin);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(log);
    if (startedAt)
        *startedAt = monotonicNs();
    process.start(QDir(bin).filePath(program), args);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        fail(program + QLatin1Char(' ') + args.join(QLatin1Char(' ')), process);
        QFile output(log);
        if (output.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "%s", output.readAll().constData());
        return std::nullopt;
    }
    return readResults(out);
}

bool Bench::startUp()
{
    progress(QStringLiteral("start-up, %1 rounds of processes").arg(runs + 2));
    QList<double> program, bare, text, form, ports;
    double portCount = 0;
    // Taken in turns, so that a disturbance hits all alike.
    for (int i = 0; i < runs + 2; ++i) {
        const std::tuple<QString, QStringList, QList<double> *> kinds[] = {
            {QStringLiteral("velmora-bench-startup"), {}, &program},
            {QStringLiteral("velmora-bench-bare"), {}, &bare},
            {QStringLiteral("velmora-bench-bare"), {QStringLiteral("--text")}, &text},
            {QStringLiteral("velmora-bench-startup"), {QStringLiteral("--form")}, &form},
        };
        for (const auto &[name, args, times] : kinds) {
            qint64 started = 0;
            const auto results = probe(name, args, 60000, &started);
            if (!results)
                return false;
            times->append((results->value(QStringLiteral("shown_ns")).toLongLong() - started) /
                          1e6);
        }
        const auto results =
            probe(QStringLiteral("velmora-bench-startup"), {QStringLiteral("--ports")}, 60000);
        if (!results)
            return false;
        ports.append(results->value(QStringLiteral("ports_ns")).toDouble() / 1e6);
        portCount = results->value(QStringLiteral("ports")).toDouble();
    }
    const double ratio = median(program) / median(bare);
    rows.append({QStringLiteral("6. Start-up to the window shown"),
                 QStringLiteral("%1 ms (%2x)").arg(fixed(median(program), 0), fixed(ratio, 2)),
                 QStringLiteral("bare window %1 ms; with a line of text %2 ms (%3x); the "
                                "window's form alone %4 ms")
                     .arg(fixed(median(bare), 0), fixed(median(text), 0),
                          fixed(median(text) / median(bare), 2), fixed(median(form), 0)),
                 QStringLiteral("<= 1.5x bare"), ratio <= 1.5});
    const int ttys = int(QDir(QStringLiteral("/sys/class/tty"))
                             .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                             .size());
    notes.append(
        QStringLiteral(
            "Start-up: a bare window with one line of text already takes %1x the bare window: "
            "the font set-up that any text needs costs %2 ms here. The window's form alone (its "
            "widgets and texts, and the form's icon, whose loading asks every image plug-in) "
            "takes %3 ms, %4x the bare window. The program adds its catalogues, settings and "
            "the port enumeration (%5 ms for %6 port(s) among %7 tty nodes) and stands at %8x "
            "its form alone, %9x the window with one line of text.")
            .arg(fixed(median(text) / median(bare), 2), fixed(median(text) - median(bare), 0),
                 fixed(median(form), 0), fixed(median(form) / median(bare), 2),
                 fixed(median(ports), 1))
            .arg(portCount, 0, 'f', 0)
            .arg(ttys)
            .arg(fixed(median(program) / median(form), 2),
                 fixed(median(program) / median(text), 2)));
    return true;
}

// On the first free display number from 90 on; false without Xvfb.
bool Bench::startXvfb()
{
    for (int number = 90; number < 130; ++number) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!xvfb.waitForStarted(5000))
            return false;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i) {
            if (xvfb.waitForFinished(50))
                break; // another server took the number meanwhile
        }
        if (xvfb.state() == QProcess::Running && QFileInfo::exists(socket)) {
            display = QStringLiteral(":%1").arg(number);
            return true;
        }
    }
    return false;
}

bool Bench::idleCost(int seconds)
{
    drawn = startXvfb();
    const auto offscreenAgain = qScopeGuard([this] { drawn = false; });
    progress(QStringLiteral("idle cost, %1 runs, %2")
                 .arg(runs)
                 .arg(drawn ? QStringLiteral("drawn on Xvfb ") + display
                            : QStringLiteral("offscreen (no Xvfb)")));
    QList<double> percent;
    for (int i = 0; i < runs; ++i) {
        const auto results =
            probe(QStringLiteral("velmora-bench-window"),
                  {QStringLiteral("idle"), QString::number(seconds)}, (seconds + 60) * 1000);
        if (!results || results->value(QStringLiteral("still_waiting")) != QLatin1String("1"))
            return false;
        percent.append(100.0 * results->value(QStringLiteral("cpu_ns")).toDouble() /
                       results->value(QStringLiteral("wall_ns")).toDouble());
    }
    const double p = median(percent);
    rows.append(
        {QStringLiteral("4. Idle cost while waiting (%1 s runs)").arg(seconds),
         QStringLiteral("%1% of a core (%2 ms CPU a minute)").arg(fixed(p, 3), fixed(p * 600, 0)),
         drawn ? QStringLiteral("drawn at 800x600 under Xvfb")
               : QStringLiteral("offscreen: no Xvfb to draw on"),
         QStringLiteral("<= 0.5%"), p <= 0.5});
    return true;
}

bool Bench::headroom(qint64 size)
{
    progress(QStringLiteral("headroom, %1 runs").arg(runs));
    QList<double> window, cat, stall, memory, resident;
    double lines = 0;
    bool identical = true;
    for (int i = 0; i < runs; ++i) {
        const auto results = probe(QStringLiteral("velmora-bench-window"),
                                   {QStringLiteral("headroom"), QString::number(size)}, 400000);
        if (!results)
            return false;
        identical = identical &&
                    results->value(QStringLiteral("identical")) == QLatin1String("1") &&
                    results->value(QStringLiteral("cat_identical")) == QLatin1String("1") &&
                    results->value(QStringLiteral("pane_complete")) == QLatin1String("1");
        window.append(size / results->value(QStringLiteral("window_ns")).toDouble() * 1e3);
        cat.append(size / results->value(QStringLiteral("cat_ns")).toDouble() * 1e3);
        stall.append(results->value(QStringLiteral("stall_ns")).toDouble() / 1e6);
        memory.append((results->value(QStringLiteral("peak_kb")).toDouble() -
                       results->value(QStringLiteral("baseline_kb")).toDouble()) *
                      1024.0 / double(size));
        resident.append((results->value(QStringLiteral("end_rss_kb")).toDouble() -
                         results->value(QStringLiteral("baseline_kb")).toDouble()) *
                        1024.0);
    }
    const double mb = double(size) / (1024 * 1024);
    headroomGrowth = median(memory) * double(size);
    headroomBytes = double(size);
    rows.append({QStringLiteral("3. Headroom: %1 MB unpaced through a pty").arg(fixed(mb, 0)),
                 QStringLiteral("%1 MB/s, file %2")
                     .arg(fixed(median(window), 1),
                          identical ? QStringLiteral("identical") : QStringLiteral("DIFFERS")),
                 QStringLiteral("`cat`: %1 MB/s").arg(fixed(median(cat), 1)),
                 QStringLiteral(">= 2 MB/s, identical"), median(window) >= 2.0 && identical});
    rows.append({QStringLiteral("3. Longest GUI stall during it"),
                 QStringLiteral("%1 ms").arg(fixed(median(stall), 0)), QString(),
                 QStringLiteral("<= 100 ms"), median(stall) <= 100.0});
    // The references: the same text in the toolkit's text pane alone, and in
    // its text document with no view.
    QList<double> pane, document;
    for (int i = 0; i < runs; ++i) {
        for (const auto &[mode, values] :
             {std::pair{QStringLiteral("pane"), &pane}, {QStringLiteral("document"), &document}}) {
            const auto results = probe(QStringLiteral("velmora-bench-window"),
                                       {mode, QString::number(size)}, 400000);
            if (!results)
                return false;
            values->append(results->value(QStringLiteral("peak_kb")).toDouble() * 1024.0 /
                           double(size));
            if (values == &document)
                lines = results->value(QStringLiteral("lines")).toDouble();
        }
    }
    rows.append({QStringLiteral("5. Peak memory over an idle window"),
                 QStringLiteral("%1x the data (%2 MB)")
                     .arg(fixed(median(memory), 2), fixed(median(memory) * mb, 0)),
                 QStringLiteral("the text alone in a bare text pane %1x; in a text document "
                                "with no view %2x")
                     .arg(fixed(median(pane), 2), fixed(median(document), 2)),
                 QStringLiteral("<= 2x the data"), median(memory) <= 2.0});
    notes.append(
        QStringLiteral(
            "Memory: the window keeps the bytes for the file (1x), in blocks that are never "
            "copied again, and lets the pane read its text from them; the pane keeps only about "
            "its newest half million characters (a line at the top says earlier records are in "
            "the file only), and a pane that falls that far behind a fast line goes on with the "
            "newest records instead of laying out text it would drop. At 20 MB the rest of the "
            "figure is that fixed part, the first save dialog and room the allocator keeps from "
            "the transfer; beyond it the window grows by the figure of row 8. The "
            "references show what the toolkit's text pane alone, given the same text in the "
            "same slices, would hold for the whole text: %1x the data; its text document "
            "without any view %2x (%3 lines, %4 bytes a line beyond the UTF-16 text). Still "
            "resident after the save: %5 MB over the idle window.")
            .arg(fixed(median(pane), 2), fixed(median(document), 2))
            .arg(lines, 0, 'f', 0)
            .arg(
                fixed(lines > 0
                          ? (median(document) * double(size) - 2.0 * (double(size) - lines)) / lines
                          : 0,
                      0),
                fixed(median(resident) / (1024 * 1024), 0)));
    return true;
}

// The same characters once in lines of 80 and once as one line without end,
// through a pty into the window; and Cancel halfway through the long line.
bool Bench::longLine(qint64 size)
{
    progress(QStringLiteral("long line, %1 runs").arg(runs));
    QList<double> lines, line, stall, cancel;
    for (int i = 0; i < runs; ++i) {
        for (const auto &[mode, values] :
             {std::pair{QStringLiteral("lines80"), &lines}, {QStringLiteral("nobreak"), &line}}) {
            const auto results = probe(QStringLiteral("velmora-bench-window"),
                                       {mode, QString::number(size)}, 900000);
            if (!results || results->value(QStringLiteral("identical")) != QLatin1String("1") ||
                results->value(QStringLiteral("pane_complete")) != QLatin1String("1"))
                return false;
            values->append(results->value(QStringLiteral("window_ns")).toDouble() / 1e6);
            if (values == &line)
                stall.append(results->value(QStringLiteral("stall_ns")).toDouble() / 1e6);
        }
        const auto results = probe(QStringLiteral("velmora-bench-window"),
                                   {QStringLiteral("cancel"), QString::number(size)}, 900000);
        if (!results || results->value(QStringLiteral("prefix_exact")) != QLatin1String("1"))
            return false;
        cancel.append(results->value(QStringLiteral("cancel_ns")).toDouble() / 1e6);
    }
    const double mb = double(size) / (1024 * 1024);
    const double ratio = median(line) / median(lines);
    rows.append(
        {QStringLiteral("7. %1 MB without a line break, into the pane").arg(fixed(mb, 0)),
         QStringLiteral("%1 ms, %2x the lines").arg(fixed(median(line), 0), fixed(ratio, 2)),
         QStringLiteral("in lines of 80 characters: %1 ms").arg(fixed(median(lines), 0)),
         QStringLiteral("<= 2x the lines"), ratio <= 2.0});
    rows.append({QStringLiteral("7. Longest GUI stall during it"),
                 QStringLiteral("%1 ms").arg(fixed(median(stall), 0)), QString(),
                 QStringLiteral("<= 100 ms"), median(stall) <= 100.0});
    rows.append({QStringLiteral("7. Cancel halfway through it, answered in"),
                 QStringLiteral("%1 ms").arg(fixed(median(cancel), 0)), QString(),
                 QStringLiteral("<= 200 ms"), median(cancel) <= 200.0});
    return true;
}

// A tester that never stops: the window stops the download by itself once
// it keeps more than a tester could hold, then the save of what it kept.
bool Bench::endless(qint64 size)
{
    progress(QStringLiteral("endless tester, %1 runs").arg(runs));
    QList<double> memory, perByte, kept, stall;
    bool exact = true;
    for (int i = 0; i < runs; ++i) {
        const auto results = probe(QStringLiteral("velmora-bench-window"),
                                   {QStringLiteral("endless"), QString::number(size)}, 900000);
        if (!results)
            return false;
        const double bytes = results->value(QStringLiteral("kept")).toDouble();
        const double grown = (results->value(QStringLiteral("peak_kb")).toDouble() -
                              results->value(QStringLiteral("baseline_kb")).toDouble()) *
                             1024.0;
        exact = exact && results->value(QStringLiteral("prefix_exact")) == QLatin1String("1") &&
                results->value(QStringLiteral("saved")).toDouble() == bytes;
        memory.append(grown / bytes);
        perByte.append((grown - headroomGrowth) / (bytes - headroomBytes));
        kept.append(bytes / (1024 * 1024));
        stall.append(results->value(QStringLiteral("stall_ns")).toDouble() / 1e6);
    }
    const double mb = double(size) / (1024 * 1024);
    rows.append({QStringLiteral("8. Endless tester: peak memory when the window stops it, and "
                                "its save"),
                 QStringLiteral("%1x the data (%2 MB); %3x a byte beyond the 20 MB run")
                     .arg(fixed(median(memory), 2), fixed(median(memory) * median(kept), 0),
                          fixed(median(perByte), 2)),
                 QStringLiteral("the 20 MB run: %1 MB").arg(fixed(headroomGrowth / 1048576, 0)),
                 QStringLiteral("< 2x the data + a fixed amount"), median(perByte) < 2.0});
    rows.append(
        {QStringLiteral("8. Stopped by itself at; saved file"),
         QStringLiteral("%1 MB; %2")
             .arg(fixed(median(kept), 1),
                  exact ? QStringLiteral("exactly what was kept") : QStringLiteral("DIFFERS")),
         QStringLiteral("longest GUI stall until the stop: %1 ms").arg(fixed(median(stall), 0)),
         QStringLiteral("%1 MB + at most a read; exact").arg(fixed(mb, 0)),
         median(kept) > mb && median(kept) <= mb + 1 && exact});
    return true;
}

// The paced download runs inside the virtual tester, whose own report marks
// the first and the last byte it sent.
bool Bench::lineRate()
{
    progress(QStringLiteral("paced downloads through the virtual tester, %1 runs").arg(runs));
    const QString records = QDir(bin).filePath(QStringLiteral("sample-records.csv"));
    const qint64 size = QFileInfo(records).size();
    const double lineSeconds = double(size) * 10 / 9600;
    QList<double> efficiency, endOfTransfer;
    for (int i = 0; i < runs; ++i) {
        const QString out = scratch.filePath(QStringLiteral("tester-%1.txt").arg(i));
        QProcessEnvironment env = environment(out);
        env.insert(QStringLiteral("CV_BENCH_RECORDS"), records);
        QProcess tester;
        tester.setProcessEnvironment(env);
        tester.setWorkingDirectory(bin);
        tester.setStandardOutputFile(QProcess::nullDevice());
        tester.setReadChannel(QProcess::StandardError);
        tester.start(QDir(bin).filePath(QStringLiteral("velmora-virtual-tester")),
                     {QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--timeout"),
                      QStringLiteral("200"), QStringLiteral("--records"), records,
                      QStringLiteral("--"),
                      QDir(bin).filePath(QStringLiteral("velmora-bench-window")),
                      QStringLiteral("download")});
        qint64 firstSent = 0;
        qint64 lastSent = 0;
        QByteArray log;
        for (;;) {
            if (!tester.canReadLine()) {
                if (tester.state() == QProcess::NotRunning) {
                    log += tester.readAll();
                    break;
                }
                tester.waitForReadyRead(250);
                continue;
            }
            // Stamped as soon as the line arrives: the tester writes it right
            // before its first write to the line and right after its last.
            const qint64 now = monotonicNs();
            while (tester.canReadLine()) {
                const QByteArray line = tester.readLine();
                log += line;
                if (line.contains(": sending ") && !firstSent)
                    firstSent = now;
                else if (line.contains(": sent ") && !lastSent)
                    lastSent = now;
            }
        }
        const Results results = readResults(out);
        if (tester.exitCode() != 0 || !firstSent || !lastSent ||
            results.value(QStringLiteral("identical")) != QLatin1String("1")) {
            std::fprintf(stderr, "velmora-bench: the paced download failed (exit %d):\n%s",
                         tester.exitCode(), log.constData());
            return false;
        }
        const double lastKept = results.value(QStringLiteral("last_kept_ns")).toDouble();
        efficiency.append((lastKept - double(firstSent)) / 1e9 / lineSeconds);
        endOfTransfer.append(
            (results.value(QStringLiteral("dialog_ns")).toDouble() - double(lastSent)) / 1e6);
    }
    rows.append({QStringLiteral("1. Line-rate efficiency, %1 bytes paced at 9600 baud").arg(size),
                 fixed(median(efficiency), 3),
                 QStringLiteral("line time %1 s").arg(fixed(lineSeconds, 2)),
                 QStringLiteral("<= 1.01"), median(efficiency) <= 1.01});
    // The window waits for the quiet time after the last byte, so that a
    // tester's pauses do not end the transfer.
    constexpr double quietMs = DownloadSession::quietTimeMs;
    rows.append({QStringLiteral("2. End of transfer: last byte sent to save dialog"),
                 QStringLiteral("%1 ms").arg(fixed(median(endOfTransfer), 0)),
                 QStringLiteral("quiet time %1 ms").arg(quietMs),
                 QStringLiteral("<= quiet time + 150 ms"),
                 median(endOfTransfer) <= quietMs + 150.0});
    return true;
}

QString table(const QList<Row> &rows)
{
    QString text = QStringLiteral("| Measurement | Result | Reference (same run) | Target | Met |\n"
                                  "|---|---|---|---|---|\n");
    for (const Row &row : rows) {
        text += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                    .arg(row.measurement, row.result,
                         row.reference.isEmpty() ? QStringLiteral("-") : row.reference, row.target,
                         row.met ? QStringLiteral("yes")
                                 : QStringLiteral("**no**, what limits it is below"));
    }
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QString output;
    int runs = 3;
    int idleSeconds = 20;
    qint64 headroomBytes = 20 * 1024 * 1024;
    qint64 longLineBytes = 5 * 1024 * 1024;
    // The window's own limit: a line that never pauses is stopped there.
    qint64 endlessBytes = 64 * 1024 * 1024;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--output") && i + 1 < args.size())
            output = args.at(++i);
        else if (arg == QLatin1String("--runs") && i + 1 < args.size())
            runs = qMax(1, args.at(++i).toInt());
        else if (arg == QLatin1String("--idle-seconds") && i + 1 < args.size())
            idleSeconds = qMax(1, args.at(++i).toInt());
        else if (arg == QLatin1String("--headroom-bytes") && i + 1 < args.size())
            headroomBytes = qMax<qint64>(1024, args.at(++i).toLongLong());
        else if (arg == QLatin1String("--long-line-bytes") && i + 1 < args.size())
            longLineBytes = qMax<qint64>(1024, args.at(++i).toLongLong());
        else if (arg == QLatin1String("--endless-bytes") && i + 1 < args.size())
            endlessBytes = qMax<qint64>(headroomBytes + 1024, args.at(++i).toLongLong());
        else {
            std::fprintf(stderr,
                         "usage: velmora-bench [--output FILE] [--runs N] [--idle-seconds S] "
                         "[--headroom-bytes N] [--long-line-bytes N] [--endless-bytes N]\n");
            return 2;
        }
    }

    const QString loadBefore = loadAverage();
    const QDateTime started = QDateTime::currentDateTimeUtc();
    Bench bench(QCoreApplication::applicationDirPath(), runs);
    const bool ok = bench.startUp() && bench.idleCost(idleSeconds) &&
                    bench.headroom(headroomBytes) && bench.longLine(longLineBytes) &&
                    bench.endless(endlessBytes) && bench.lineRate();
    if (!ok)
        return 1;
    std::sort(bench.rows.begin(), bench.rows.end(), [](const Row &a, const Row &b) {
        return a.measurement.left(2) < b.measurement.left(2);
    });
    const qint64 took = started.secsTo(QDateTime::currentDateTimeUtc());

    const QString machine =
        QStringLiteral("- CPU: %1, %2 cores\n- Kernel: %3 %4\n- Qt: %5 (Release build)\n"
                       "- Date: %6 UTC, %7 s for the whole run\n"
                       "- Load average (1, 5, 15 min): %8 before, %9 after\n")
            .arg(cpuModel())
            .arg(QThread::idealThreadCount())
            .arg(QSysInfo::kernelType(), QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()),
                 started.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            .arg(took)
            .arg(loadBefore, loadAverage());
    QString body = table(bench.rows);
    if (!bench.notes.isEmpty())
        body +=
            QStringLiteral("\n- ") + bench.notes.join(QStringLiteral("\n- ")) + QLatin1Char('\n');
    std::printf("%s\n%s", qPrintable(body), qPrintable(machine));

    if (!output.isEmpty()) {
        QFile file(output);
        const QString text =
            QStringLiteral(
                "# Benchmarks\n\nMade by `./velmora bench` (a Release build in `build-bench/`). "
                "Each figure is the median of %1 runs, each in fresh processes; references are "
                "taken in the same runs.\n\n%2\n## How\n\n"
                "1. The real window runs inside the virtual tester and downloads its sample at "
                "960 bytes/s; the time from the tester starting to send to the window keeping "
                "the last byte, over the line time of the bytes (10 bits a byte at 9600 bit/s).\n"
                "2. In the same runs: the tester's last write to the save dialog being shown.\n"
                "3. A pseudo-terminal is read first by `cat` into a file, then by the real "
                "window; the rate runs from the first byte written to the pane showing all of "
                "it, and the saved file is compared byte for byte. A 5 ms timer in the GUI "
                "thread gives the longest gap, up to the save dialog.\n"
                "4. CPU time of the whole process (getrusage) while a download waits on a "
                "pseudo-terminal that never sends; the window drawn at 800x600 on an Xvfb of "
                "the bench's own where there is one.\n"
                "5. VmHWM after the 20 MB download and its save, less VmHWM of the idle window "
                "before it; for the references, the same text put into a bare pane (or a "
                "document) in 16 KiB slices, less VmHWM before.\n"
                "6. From just before the process is started to the first paint of its main "
                "window (offscreen), for the program's own start-up, a bare window, a bare "
                "window with one label, and the window's form shown in a bare main window.\n"
                "7. The same characters through a pty into the window, once in lines of 80 "
                "(the line end included) and once as one line without end; the time from the "
                "first byte written to the pane showing the last, and the longest gap of the "
                "5 ms timer up to the save dialog. Cancel is pressed once the window keeps "
                "half of the line: the time until the click is handled and the event loop "
                "runs again; the saved file must be the start of what was sent.\n"
                "8. Records through a pty without end (four times the window's limit); the "
                "window stops the download by itself once it keeps more than its limit and "
                "says why, then the save. VmHWM over the idle window at that point, over the "
                "bytes kept, and its growth per byte beyond the 20 MB run of 3 (the fixed "
                "part: the pane keeps only its newest records); the longest gap of the 5 ms "
                "timer until the window's box.\n"
                "\n## Machine\n\n%3")
                .arg(runs)
                .arg(body, machine);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(text.toUtf8()) < 0) {
            std::fprintf(stderr, "velmora-bench: cannot write %s\n", qPrintable(output));
            return 1;
        }
    }
    return std::all_of(bench.rows.cbegin(), bench.rows.cend(), [](const Row &r) { return r.met; })
               ? 0
               : 3;
}
