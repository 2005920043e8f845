// Run inside the virtual tester's test bed (--repeat): many downloads in a
// row, each ended at a random moment, with the window's resources counted
// before and after. CV_SOAK_SEED repeats a run's choices.
#include "mainwindow.h"
#include "modalanswers.h"
#include "testfiles.h"
#include "windowchild.h"

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <random>
#include <sys/stat.h>

namespace {

// Generous: a sanitizer build on a busy machine is many times slower.
constexpr int cycleLimitMs = 30000;
// How long after its last expected byte the tester counts as surely done
// with a download the window gave up on.
constexpr int testerTailMs = 250;
// Threads and descriptors the toolkit may still open lazily after warm-up.
constexpr qsizetype slack = 3;
// Downloads a run may see ended early by a pty stalled past the quiet time:
// none, the quiet time is far beyond any stall of a busy machine.
constexpr int maxStalls = 0;

enum class Plan {
    CancelBeforeCommands,
    CancelMidTransfer,
    CancelAtQuietLine,
    Complete,
    // With the adapter pulled out:
    SaveWhatCame,
    RejectSaveDialog,
    CancelAtPullOut,
};

const char *planName(Plan plan)
{
    switch (plan) {
    case Plan::CancelBeforeCommands:
        return "cancel before the commands";
    case Plan::CancelMidTransfer:
        return "cancel mid-transfer";
    case Plan::CancelAtQuietLine:
        return "cancel at the quiet line";
    case Plan::Complete:
        return "complete";
    case Plan::SaveWhatCame:
        return "pulled out, save what came";
    case Plan::RejectSaveDialog:
        return "pulled out, reject the save dialog";
    case Plan::CancelAtPullOut:
        return "pulled out, cancel at once";
    }
    return "?";
}

qsizetype entries(const char *dir)
{
    return QDir(QLatin1StringView(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
}

qsizetype openDescriptors()
{
    return entries("/proc/self/fd");
}

qsizetype threads()
{
    return entries("/proc/self/task");
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// Keeps processing events until `done` or the deadline; false on the deadline.
bool waitFor(const std::function<bool()> &done, const QDeadlineTimer &deadline)
{
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(1);
    }
    return true;
}

// One plugging-in of the adapter: the tester lays its node in the bed anew
// each time, so this changes with every pull-out, however quickly the adapter
// comes back. Empty while it is out.
QByteArray adapterStamp()
{
    const QByteArray node =
        QFile::encodeName(qEnvironmentVariable("UMOCKDEV_DIR") + QStringLiteral("/dev/ttyUSB0"));
    struct stat st = {};
    if (::lstat(node.constData(), &st) != 0)
        return {};
    return QByteArray::number(qulonglong(st.st_ino)) + ' ' +
           QByteArray::number(qlonglong(st.st_ctim.tv_sec)) + '.' +
           QByteArray::number(qlonglong(st.st_ctim.tv_nsec));
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void downloadsEndedAtRandomMoments();

private:
    struct Outcome
    {
        bool dialogShown = false;
        bool saved = false;
        qsizetype shown = 0;   // characters in the pane
        bool cutShort = false; // a strict start of what was sent saved
        bool nothingArrived = false;
        bool lostShown = false; // the window said the connection was lost
    };

    Plan choosePlan(int cycle);
    bool runCycle(Plan plan, Outcome *outcome, QString *why);
    bool waitForAdapterBack(const QByteArray &stampBefore, QString *why);
    qsizetype paneLength() const;
    bool idle() const;

    QByteArray m_records;
    qsizetype m_visible = 0; // what the pane shows of a whole transfer
    qint64 m_pullOutAfter = -1;
    int m_transferMs = 0;
    int m_settleMs = 0;
    int m_cycles = 0;
    std::mt19937 m_random;
    QElapsedTimer m_clock;
    qint64 m_testerBusyUntil = 0; // on m_clock
    QTemporaryDir m_dir;
    QString m_path;

    std::unique_ptr<MainWindow> m_window;
    // The answer the next save dialog gets.
    bool m_acceptSave = true;
    Outcome *m_current = nullptr;
    QPointer<QWidget> m_answered;
    QElapsedTimer m_sinceAnswer;
    QStringList m_unexpected;
};

void TestSoak::initTestCase()
{
    m_records = fileBytes(qEnvironmentVariable("CV_SOAK_RECORDS"));
    QVERIFY(!m_records.isEmpty());
    m_visible = m_records.size() - m_records.count('\r');
    m_pullOutAfter = envInt("CV_SOAK_PULL_OUT_AFTER", -1);
    m_cycles = envInt("CV_SOAK_CYCLES", 300);
    m_settleMs = envInt("CV_SOAK_SETTLE_MS", 300);
    const int rate = envInt("CV_SOAK_RATE", 960);
    QVERIFY(rate > 0 && m_cycles > 1);
    m_transferMs = int(m_records.size() * 1000 / rate);
    const unsigned seed = unsigned(envInt("CV_SOAK_SEED", 20261207));
    qInfo("seed %u (set CV_SOAK_SEED to repeat a run), %d cycles, %lld bytes at %d bytes/s%s", seed,
          m_cycles, qint64(m_records.size()), rate,
          m_pullOutAfter >= 0
              ? qPrintable(QStringLiteral(", pulled out after %1 bytes").arg(m_pullOutAfter))
              : "");
    m_random.seed(seed);
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("records.csv"));
    QSettings().clear();
    // Hundreds of opens and closes would use up the test's message budget.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    m_clock.start();
}

Plan TestSoak::choosePlan(int cycle)
{
    const bool pulled = m_pullOutAfter >= 0;
    // The first (warm-up) and last cycles go all the way, so that the tester
    // ends with every download answered.
    if (cycle == 0 || cycle == m_cycles - 1)
        return pulled ? Plan::SaveWhatCame : Plan::Complete;
    // Cancelling a pulled-out download before the tester's last byte would
    // leave the tester waiting seconds for a reader; the pull-out is the point.
    static const Plan normal[] = {Plan::CancelBeforeCommands, Plan::CancelMidTransfer,
                                  Plan::CancelAtQuietLine, Plan::Complete};
    static const Plan pulledOut[] = {Plan::SaveWhatCame, Plan::RejectSaveDialog,
                                     Plan::CancelAtPullOut};
    if (pulled)
        return pulledOut[std::uniform_int_distribution<int>(0, 2)(m_random)];
    return normal[std::uniform_int_distribution<int>(0, 3)(m_random)];
}

qsizetype TestSoak::paneLength() const
{
    return child<QPlainTextEdit>(*m_window, "outputTextEdit")->document()->characterCount() - 1;
}

bool TestSoak::idle() const
{
    return child<QPushButton>(*m_window, "downloadBtn")->isVisible() &&
           !QApplication::activeModalWidget();
}

bool TestSoak::runCycle(Plan plan, Outcome *outcome, QString *why)
{
    const bool pulled = m_pullOutAfter >= 0;
    const qsizetype expectedShown =
        pulled ? m_records.left(m_pullOutAfter).size() - m_records.left(m_pullOutAfter).count('\r')
               : m_visible;
    const bool compared = plan == Plan::Complete || plan == Plan::CancelAtQuietLine ||
                          plan == Plan::SaveWhatCame || plan == Plan::CancelAtPullOut;
    // A download given up on may leave the tester sending into the void; a
    // download whose bytes are compared starts only once it has finished.
    if (compared && !waitFor([&] { return m_clock.elapsed() >= m_testerBusyUntil; },
                             QDeadlineTimer(cycleLimitMs))) {
        *why = QStringLiteral("the tester did not fall quiet");
        return false;
    }

    QFile::remove(m_path);
    const QByteArray stampBefore = adapterStamp();
    m_acceptSave = plan != Plan::RejectSaveDialog;
    m_current = outcome;
    const QDeadlineTimer deadline(cycleLimitMs);
    auto *cancel = child<QPushButton>(*m_window, "cancelBtn");
    const qint64 clickedAt = m_clock.elapsed();
    child<QPushButton>(*m_window, "downloadBtn")->click();
    if (!cancel->isVisible()) {
        *why = QStringLiteral("the download did not start: %1")
                   .arg(m_unexpected.join(QLatin1String(" | ")));
        return false;
    }

    auto waitShown = [&](qsizetype count) {
        return waitFor([&] { return paneLength() >= count || idle(); }, deadline);
    };
    auto pause = [&](int maxMs) {
        const int ms = std::uniform_int_distribution<int>(0, maxMs)(m_random);
        QDeadlineTimer until(ms);
        waitFor([&] { return until.hasExpired() || idle(); }, deadline);
    };
    bool ok = true;
    switch (plan) {
    case Plan::CancelBeforeCommands:
        cancel->click();
        break;
    case Plan::CancelMidTransfer:
        ok = waitShown(std::uniform_int_distribution<qsizetype>(1, m_visible - 1)(m_random));
        if (cancel->isVisible())
            cancel->click();
        break;
    case Plan::CancelAtQuietLine:
    case Plan::CancelAtPullOut:
        // Racing the window's own end of the transfer: either may win.
        ok = waitShown(expectedShown);
        pause(80);
        if (cancel->isVisible())
            cancel->click();
        break;
    case Plan::Complete:
    case Plan::SaveWhatCame:
    case Plan::RejectSaveDialog:
        break;
    }
    if (ok && pulled) {
        // Bytes still in the kernel's pty buffers at the hang-up never reach
        // the program. With nothing received it waits for data, as it would
        // on a real line, until the technician gives up.
        ok = waitFor([&] { return idle() || adapterStamp() != stampBefore; }, deadline);
        QDeadlineTimer grace(2000);
        waitFor([&] { return idle() || paneLength() > 0 || grace.hasExpired(); }, deadline);
        if (ok && paneLength() == 0) {
            outcome->nothingArrived = true;
            if (!idle())
                cancel->click();
        }
    }
    ok = ok && waitFor([&] { return idle(); }, deadline);
    m_current = nullptr;
    outcome->shown = paneLength();
    if (!ok) {
        *why = QStringLiteral("did not end within %1 ms (%2 characters shown)")
                   .arg(cycleLimitMs)
                   .arg(outcome->shown);
        return false;
    }
    if (!m_unexpected.isEmpty()) {
        *why = QStringLiteral("unexpected dialog: %1").arg(m_unexpected.join(QLatin1String(" | ")));
        return false;
    }
    if (outcome->shown < m_visible && !pulled) {
        m_testerBusyUntil =
            qMax(m_testerBusyUntil, clickedAt + m_settleMs + m_transferMs + testerTailMs);
    }

    const bool mustSave =
        (plan == Plan::Complete || plan == Plan::SaveWhatCame) && !outcome->nothingArrived;
    if (mustSave && !outcome->saved) {
        *why = QStringLiteral("no save dialog after the transfer");
        return false;
    }
    if (outcome->saved) {
        QByteArray expected = pulled ? m_records.left(m_pullOutAfter) : m_records;
        const QByteArray saved = fileBytes(m_path);
        // Bytes still in the kernel's pty buffers when the line hangs up are
        // lost before the program could see them; and on a machine under
        // load the pty may hold bytes back for longer than the quiet time,
        // which ends a download early just as a stalled line would. What the
        // program did see must be saved whole.
        if (!saved.isEmpty() && expected.startsWith(saved)) {
            outcome->cutShort = saved.size() < expected.size();
            expected = saved;
        }
        if (saved != expected) {
            QString detail;
            if (saved.size() == expected.size())
                detail = QStringLiteral(" (same size)");
            else if (saved.isEmpty())
                detail = QStringLiteral(" (an empty file)");
            *why = QStringLiteral("saved %1 bytes, not the %2 sent%3")
                       .arg(saved.size())
                       .arg(expected.size())
                       .arg(detail);
            return false;
        }
        QString text = QString::fromLatin1(saved);
        text.remove(QLatin1Char('\r'));
        if (child<QPlainTextEdit>(*m_window, "outputTextEdit")->toPlainText() != text) {
            *why = QStringLiteral("the pane does not show what was saved");
            return false;
        }
    } else if (plan == Plan::RejectSaveDialog && !outcome->dialogShown &&
               !outcome->nothingArrived) {
        *why = QStringLiteral("no save dialog after the pull-out");
        return false;
    }
    // A pull-out never passes for the end of a transfer.
    if (pulled && outcome->dialogShown && !outcome->lostShown) {
        *why = QStringLiteral("save dialog after the pull-out without saying the line was lost");
        return false;
    }
    return !pulled || waitForAdapterBack(stampBefore, why);
}

// The tester plugs the adapter in again a while after pulling it out; the
// window finds it again through a refresh.
bool TestSoak::waitForAdapterBack(const QByteArray &stampBefore, QString *why)
{
    auto *ports = child<QComboBox>(*m_window, "comPorts");
    QAction *refresh = m_window->findChild<QAction *>(QStringLiteral("actionRefreshPorts"));
    const QDeadlineTimer deadline(10000);
    QByteArray stamp;
    if (!waitFor(
            [&] {
                stamp = adapterStamp();
                return !stamp.isEmpty() && stamp != stampBefore;
            },
            deadline)) {
        *why = stamp.isEmpty() ? QStringLiteral("the adapter did not come back")
                               : QStringLiteral("the adapter was not pulled out");
        return false;
    }
    if (!waitFor(
            [&] {
                refresh->trigger();
                return ports->count() == 1;
            },
            deadline)) {
        *why = QStringLiteral("the adapter came back, but not into the list");
        return false;
    }
    return true;
}

void TestSoak::downloadsEndedAtRandomMoments()
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QCOMPARE(child<QComboBox>(*m_window, "comPorts")->count(), 1);
    QVERIFY2(!adapterStamp().isEmpty(), "the adapter's node is not in the test bed");

    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !m_current)
            return;
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            // Records of an earlier download that were not saved: let go.
            if (box && box->button(QMessageBox::Discard)) {
                box->button(QMessageBox::Discard)->click();
                return;
            }
            if (box && m_pullOutAfter >= 0 &&
                box->text() == QLatin1String("The connection to the tester was lost.")) {
                m_current->lostShown = true;
                modal->close();
                return;
            }
            m_unexpected << (box ? box->text() + QLatin1Char(' ') + box->informativeText()
                                 : QString::fromLatin1(modal->metaObject()->className()));
            modal->close();
            return;
        }
        // A dialog still up a while after its answer did not take it (a file
        // dialog busy reading its folder): answer it again.
        if (dialog == m_answered.data() && m_sinceAnswer.elapsed() < 500)
            return;
        m_answered = dialog;
        m_sinceAnswer.start();
        m_current->dialogShown = true;
        if (!m_acceptSave) {
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            return;
        }
        m_current->saved = true;
        chooseFile(dialog, m_path);
    });
    answer.start(5);

    QMap<QString, int> tally;
    qsizetype baseDescriptors = 0;
    qsizetype baseThreads = 0;
    for (int cycle = 0; cycle < m_cycles; ++cycle) {
        const Plan plan = choosePlan(cycle);
        Outcome outcome;
        QString why;
        const bool ok = runCycle(plan, &outcome, &why);
        QVERIFY2(ok, qPrintable(QStringLiteral("cycle %1 (%2): %3")
                                    .arg(cycle)
                                    .arg(QLatin1String(planName(plan)), why)));
        if (outcome.nothingArrived)
            ++tally[QStringLiteral("nothing arrived before the pull-out")];
        if (outcome.cutShort)
            ++tally[m_pullOutAfter < 0 ? QStringLiteral("ended early by a stalled line")
                                       : QStringLiteral("saved short of the pull-out")];
        if (outcome.saved)
            ++tally[QStringLiteral("saved")];
        else if (outcome.dialogShown)
            ++tally[QStringLiteral("save dialog rejected")];
        else if (outcome.shown == 0)
            ++tally[QStringLiteral("cancelled before any byte")];
        else if (outcome.shown < m_visible && m_pullOutAfter < 0)
            ++tally[QStringLiteral("cancelled mid-transfer")];
        else
            ++tally[QStringLiteral("cancelled after the last byte")];
        if (cycle == 0) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            baseDescriptors = openDescriptors();
            baseThreads = threads();
        }
    }
    QStringList summary;
    for (auto it = tally.cbegin(); it != tally.cend(); ++it)
        summary << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    qInfo("%s", qPrintable(summary.join(QLatin1String(", "))));

    // Threads end and descriptors close a little after the window lets go.
    QTRY_VERIFY2_WITH_TIMEOUT(openDescriptors() <= baseDescriptors + slack,
                              qPrintable(QStringLiteral("%1 descriptors open, %2 after warm-up")
                                             .arg(openDescriptors())
                                             .arg(baseDescriptors)),
                              10000);
    QTRY_VERIFY2_WITH_TIMEOUT(
        threads() <= baseThreads + slack,
        qPrintable(QStringLiteral("%1 threads, %2 after warm-up").arg(threads()).arg(baseThreads)),
        10000);
    QVERIFY(tally.value(QStringLiteral("saved")) > 0);
    // Rare, or it is the program losing the end of its downloads.
    QVERIFY2(tally.value(QStringLiteral("ended early by a stalled line")) <= maxStalls,
             "too many downloads saved short of what was sent");
    if (m_pullOutAfter < 0) {
        // Each moment was actually hit, not only planned.
        QVERIFY(tally.value(QStringLiteral("cancelled before any byte")) > 0);
        QVERIFY(tally.value(QStringLiteral("cancelled mid-transfer")) > 0);
    } else {
        QVERIFY(tally.value(QStringLiteral("save dialog rejected")) > 0);
    }
    m_window.reset();
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
