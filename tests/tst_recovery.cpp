// Records that survive the program: the window keeps each download in its
// recovery journal, offers what an earlier run left, and a request from the
// system to end closes it without questions.
#include "identity.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "ptypair.h"
#include "recoveryjournal.h"
#include "settingskeys.h"
#include "startup.h"
#include "testfiles.h"
#include "windowchild.h"
#include "windowdriver.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

// The journals in a folder, held or not.
QStringList journals(const QString &folder = RecoveryJournal::defaultFolder())
{
    QStringList paths;
    for (const QString &name :
         QDir(folder).entryList({QStringLiteral("*.records")}, QDir::Files, QDir::Name))
        paths << QDir(folder).filePath(name);
    return paths;
}

QByteArray journalBytes(const QString &folder = RecoveryJournal::defaultFolder())
{
    const QStringList paths = journals(folder);
    return paths.size() == 1 ? fileBytes(paths.first()) : QByteArray();
}

MainWindow *shownMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<MainWindow *>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// Sends a line every few milliseconds until it goes: a download that does
// not end while the test looks at it.
class Talker
{
public:
    explicit Talker(PtyPair &pty)
        : thread([this, &pty] {
            for (int i = 0; !stopRequested; ++i) {
                if (!pty.write("line " + QByteArray::number(i) + "\r\n", 2000))
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        })
    {}
    ~Talker()
    {
        stopRequested = true;
        thread.join();
    }

private:
    std::atomic<bool> stopRequested = false;
    std::thread thread;
};

void leaveJournal(const QString &folder, const QByteArray &bytes)
{
    RecoveryJournal journal(folder);
    QVERIFY(journal.start());
    journal.append(bytes);
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void journalFollowsTheRecords_data();
    void journalFollowsTheRecords();
    void earlierRecordsOfferedAtStart_data();
    void earlierRecordsOfferedAtStart();
    void endOfSessionAsksNothing_data();
    void endOfSessionAsksNothing();

    void signalClosesLikeExit_data();
    void signalClosesLikeExit();
    void programEndsOnSignalWhileOffering();
    void killedMidDownloadLeavesWhatArrived();
    // Not a test: the program that is killed, started by the one above.
    void downloadUntilKilled();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString startDir;
    QString firstJournal;
};

void TestRecovery::initTestCase()
{
    // The journals are found below the program's identity.
    setApplicationIdentity();
    startDir = QDir::currentPath();
}

void TestRecovery::init()
{
    QSettings().clear();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDir(RecoveryJournal::defaultFolder()).removeRecursively();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestRecovery::cleanup()
{
    QDir::setCurrent(startDir);
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        QFAIL("a dialog was left open");
    }
}

void TestRecovery::journalFollowsTheRecords_data()
{
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("kept"); // the first download's journal after that

    QTest::newRow("saved at the end") << QStringLiteral("save") << false;
    QTest::newRow("save dialog cancelled") << QStringLiteral("cancel save") << true;
    QTest::newRow("window closed, discarded") << QStringLiteral("close, discard") << false;
    QTest::newRow("window closed, question cancelled") << QStringLiteral("close, cancel") << true;
    QTest::newRow("new download, discarded") << QStringLiteral("download, discard") << false;
}

void TestRecovery::journalFollowsTheRecords()
{
    QFETCH(QString, then);
    QFETCH(bool, kept);
    const QString path = dir->filePath(QStringLiteral("records.csv"));
    const QByteArray records = "1.5,2\r\n3,4\r\n";
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto window = std::make_unique<MainWindow>();
    window->show();

    {
        // The quiet line ends the download and the save dialog comes.
        QByteArray atDialog;
        QString first;
        ModalAnswers save([&](QWidget *modal) {
            atDialog = journalBytes();
            first = journals().value(0);
            if (then == QLatin1String("save"))
                chooseFile(modal, path);
            else
                modal->close();
        });
        QVERIFY(startDownload(*window, pty));
        QVERIFY(pty.write(records.left(5)));
        QVERIFY(pty.write(records.mid(5)));
        QTRY_COMPARE_WITH_TIMEOUT(save.classes, QStringList("QFileDialog"), 30000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(atDialog, records);
        firstJournal = first;
    }
    const QString first = firstJournal;
    if (then == QLatin1String("save"))
        QCOMPARE(fileBytes(path), records);

    const QMessageBox::StandardButton answer =
        then.endsWith(QLatin1String("discard")) ? QMessageBox::Discard : QMessageBox::Cancel;
    ModalAnswers question([&](QWidget *modal) { pressButton(modal, answer); });
    if (then.startsWith(QLatin1String("close,"))) {
        QCOMPARE(window->close(), !kept);
        QCOMPARE(question.texts.value(0), "The downloaded records have not been saved.");
    } else if (then.startsWith(QLatin1String("download,"))) {
        QVERIFY(startDownload(*window, pty));
        QCOMPARE(question.texts.value(0), "The downloaded records have not been saved.");
        QVERIFY(pty.write("5,6\r\n"));
        // The new download's journal, and only that.
        QTRY_COMPARE_WITH_TIMEOUT(journalBytes(), "5,6\r\n", 30000);
        QVERIFY(journals().value(0) != first);
    }

    QCOMPARE(QFileInfo::exists(first), kept);
    if (kept)
        QCOMPARE(fileBytes(first), records);
    window.reset();
    // Offered at the next start only when kept.
    const QList<RecoveryJournal::Leftover> left = RecoveryJournal::leftovers();
    QCOMPARE(left.size(), then.startsWith(QLatin1String("download,")) ? 1 : int(kept));
    if (kept)
        QCOMPARE(left.at(0).path, first);
}

void TestRecovery::earlierRecordsOfferedAtStart_data()
{
    QTest::addColumn<int>("answer"); // a button, 0 for Escape, -1 for Later
    QTest::addColumn<bool>("fileChosen");
    QTest::addColumn<bool>("german");

    QTest::newRow("save") << int(QMessageBox::Save) << true << false;
    QTest::newRow("save, German conversion") << int(QMessageBox::Save) << true << true;
    QTest::newRow("save dialog cancelled") << int(QMessageBox::Save) << false << false;
    QTest::newRow("discard") << int(QMessageBox::Discard) << false << false;
    QTest::newRow("later") << -1 << false << false;
    QTest::newRow("escape") << 0 << false << false;
}

void TestRecovery::earlierRecordsOfferedAtStart()
{
    QFETCH(int, answer);
    QFETCH(bool, fileChosen);
    QFETCH(bool, german);
    const QByteArray records = "1.5,2.25\r\n";
    const QString folder = RecoveryJournal::defaultFolder();
    leaveJournal(folder, records);
    const QString journal = journals(folder).value(0);
    const QDateTime written = QFileInfo(journal).lastModified();
    if (german) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QSettings().setValue(SettingsKeys::convertData, true);
    }
    const QString path = dir->filePath(QStringLiteral("recovered.csv"));

    MainWindow window;
    window.show();
    QString later;
    auto answers = std::make_unique<ModalAnswers>([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            if (fileChosen)
                chooseFile(modal, path);
            else
                modal->close();
        } else if (answer == 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (answer == -1) {
            for (QAbstractButton *button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::RejectRole) {
                    later = button->text();
                    button->click();
                }
            }
        } else {
            pressButton(box, QMessageBox::StandardButton(answer));
        }
    });
    window.offerRecoveredRecords();
    const QStringList texts = answers->texts;
    const QStringList classes = answers->classes;
    answers.reset();

    QCOMPARE(texts.value(0), "Records from an earlier download were not saved.");
    const QString when = QLocale().toString(written, QLocale::ShortFormat);
    QCOMPARE(texts.value(1), QStringLiteral("Downloaded on %1, 10 bytes.").arg(when));
    QCOMPARE(texts.size(), 2);
    const bool saving = answer == QMessageBox::Save;
    QCOMPARE(classes.count(QStringLiteral("QFileDialog")), saving ? 1 : 0);
    if (answer == -1)
        QCOMPARE(later, "&Later");

    const QByteArray expected = german ? QByteArray("1,5;2,25\r\n") : records;
    QCOMPARE(fileBytes(path), fileChosen ? expected : QByteArray());
    // Taken into the window as if just downloaded, until saved or let go.
    const QString shown = saving ? QStringLiteral("1.5,2.25") : QString();
    QTRY_COMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText().trimmed(), shown);
    QCOMPARE(child<QPushButton>(window, "saveBtn")->isVisible(), saving);
    const bool kept = !fileChosen && answer != QMessageBox::Discard;
    QCOMPARE(QFileInfo::exists(journal), kept);
    // Later leaves it for the next start; records taken into the window are
    // that window's until it goes.
    QCOMPARE(RecoveryJournal::leftovers(folder).size(), kept && !saving ? 1 : 0);
    if (saving && !fileChosen) {
        ModalAnswers question([](QWidget *modal) { pressButton(modal, QMessageBox::Discard); });
        QVERIFY(window.close());
        QCOMPARE(question.texts.value(0), "The downloaded records have not been saved.");
        QVERIFY(!QFileInfo::exists(journal));
    }
}

void TestRecovery::endOfSessionAsksNothing_data()
{
    QTest::addColumn<QString>("open"); // what is open when the session ends
    QTest::newRow("nothing") << QString();
    QTest::newRow("unsaved-records question") << QStringLiteral("question");
    QTest::newRow("save dialog of the question") << QStringLiteral("save dialog");
    QTest::newRow("download running") << QStringLiteral("download");
}

void TestRecovery::endOfSessionAsksNothing()
{
    QFETCH(QString, open);
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));
    auto talker = std::make_unique<Talker>(pty);
    QTRY_VERIFY_WITH_TIMEOUT(journalBytes().startsWith("line 0\r\nline 1\r\n"), 30000);
    QByteArray records;
    if (open != QLatin1String("download")) {
        child<QPushButton>(window, "cancelBtn")->click();
        QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
        talker.reset();
        records = journalBytes();
    }

    QStringList seen;
    QStringList askedAfterEnd;
    bool ended = false;
    QTimer ender;
    connect(&ender, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (ended) {
            // Put away at once, so that a failure does not hang.
            if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                askedAfterEnd << QString::fromLatin1(modal->metaObject()->className());
                dialog->reject();
            }
            return;
        }
        const QString name =
            modal ? QString::fromLatin1(modal->metaObject()->className()) : QString();
        if (!seen.isEmpty() && seen.last() == name)
            return;
        if (name == QLatin1String("QMessageBox") && open == QLatin1String("save dialog")) {
            seen << name;
            pressButton(modal, QMessageBox::Save);
            return;
        }
        const bool ready =
            open.isEmpty() || open == QLatin1String("download") ||
            (open == QLatin1String("question") && name == QLatin1String("QMessageBox")) ||
            (open == QLatin1String("save dialog") && name == QLatin1String("QFileDialog"));
        if (!ready)
            return;
        seen << name;
        ended = true;
        window.endSession();
    });
    ender.start(10);
    if (open == QLatin1String("question") || open == QLatin1String("save dialog"))
        window.close();
    else
        QTRY_VERIFY(ended);

    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
    QCOMPARE(askedAfterEnd, QStringList());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(seen.size(), open == QLatin1String("save dialog") ? 2 : 1);
    talker.reset();
    if (records.isEmpty())
        records = child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText().toLatin1();
    else
        records.replace('\r', QByteArray());
    QVERIFY(!records.isEmpty());
    QCOMPARE(journalBytes().replace('\r', QByteArray()), records);
    // Nothing asked after the end either.
    QTest::qWait(100);
    QCOMPARE(askedAfterEnd, QStringList());
}

void TestRecovery::signalClosesLikeExit_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("questionOpen");
    // Whether the download still waits for its quiet second or has opened the
    // save dialog when the signal comes, the records stay unsaved.
    QTest::newRow("SIGTERM after records") << int(SIGTERM) << false;
    QTest::newRow("SIGINT after records") << int(SIGINT) << false;
    QTest::newRow("SIGHUP after records") << int(SIGHUP) << false;
    QTest::newRow("SIGTERM, question open") << int(SIGTERM) << true;
}

// The program's start-up cycle, ended by a real signal to this process.
void TestRecovery::signalClosesLikeExit()
{
    QFETCH(int, signal);
    QFETCH(bool, questionOpen);
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("Translations"))));
    QVERIFY(QFile::copy(QStringLiteral(CV_CATALOGUE_DIR "/corvane_velmora_en.qm"),
                        dir->filePath(QStringLiteral("Translations/corvane_velmora_en.qm"))));
    QVERIFY(QDir::setCurrent(dir->path()));
    const QByteArray records = "9,10\r\n";
    PtyPair pty;
    QVERIFY(pty.isValid());

    QString failure;
    bool signalled = false;
    QTimer script;
    int step = 0;
    QElapsedTimer clock;
    connect(&script, &QTimer::timeout, this, [&] {
        MainWindow *window = shownMainWindow();
        if (clock.elapsed() > 60000) {
            failure = QStringLiteral("stuck at step %1").arg(step);
            script.stop();
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
            QCoreApplication::exit(1);
            return;
        }
        if (!window)
            return;
        QWidget *modal = QApplication::activeModalWidget();
        switch (step) {
        case 0:
            if (modal) {
                failure = QStringLiteral("unexpected dialog at start");
                window->endSession();
                script.stop();
                return;
            }
            script.stop(); // the pty is read in here
            if (!startDownload(*window, pty) || !pty.write(records))
                failure = QStringLiteral("no download");
            script.start();
            ++step;
            return;
        case 1:
            if (journalBytes() != records)
                return;
            if (questionOpen) {
                child<QPushButton>(*window, "cancelBtn")->click();
                QTimer::singleShot(0, window, &QWidget::close);
            }
            ++step;
            return;
        case 2:
            if (questionOpen && !qobject_cast<QMessageBox *>(modal))
                return;
            signalled = true;
            ++step;
            ::kill(::getpid(), signal);
            return;
        default:
            // Nobody answers after the signal; a question then is a failure,
            // put away so that it does not hang the test.
            if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                failure = QStringLiteral("asked after the signal: ") +
                          QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            }
            return;
        }
    });
    clock.start();
    script.start(20);
    const int status = runStartupCycles();
    script.stop();

    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(signalled);
    QCOMPARE(status, 0);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(QSettings().contains(SettingsKeys::mainWindowGeometry));
    QCOMPARE(QSettings().value(SettingsKeys::devicePortName).toString(), "pty");
    const QList<RecoveryJournal::Leftover> left = RecoveryJournal::leftovers();
    QCOMPARE(left.size(), 1);
    QCOMPARE(fileBytes(left.at(0).path), records);
}

// The program itself, asked at start what to do with earlier records, when
// the system ends it.
void TestRecovery::programEndsOnSignalWhileOffering()
{
    const QString config = dir->filePath(QStringLiteral("config"));
    const QString data = dir->filePath(QStringLiteral("data"));
    const QString folder = data + QStringLiteral("/CORVANE/Corvane Velmora/recovery");
    const QByteArray records = "11,12\r\n";
    leaveJournal(folder, records);
    const QString journal = journals(folder).value(0);
    QVERIFY(!journal.isEmpty());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QFileInfo(QStringLiteral(CV_APP_EXECUTABLE)).absolutePath());
    program.start(QStringLiteral(CV_APP_EXECUTABLE), {});
    QVERIFY(program.waitForStarted(60000));
    // The program takes the journal's lock to offer it.
    const QString lock = journal + QStringLiteral(".lock");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock) || program.state() != QProcess::Running,
                             60000);
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(::kill(pid_t(program.processId()), SIGTERM) == 0);
    const bool ended = program.waitForFinished(30000);
    if (!ended)
        program.kill();
    QVERIFY2(ended, "the program kept running after SIGTERM");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    QSettings settings(config + QStringLiteral("/CORVANE/Corvane Velmora.conf"),
                       QSettings::IniFormat);
    QVERIFY(settings.contains(SettingsKeys::mainWindowGeometry));
    QCOMPARE(fileBytes(journal), records);
    QVERIFY(!QFileInfo::exists(lock));
}

void TestRecovery::killedMidDownloadLeavesWhatArrived()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CV_RECOVERY_KILL_PORT"), pty.slavePath());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("downloadUntilKilled")});
    QVERIFY(program.waitForStarted(60000));
    const QByteArray sent = pty.read(downloadCommandsOnTheLine.size(), 60000);
    if (sent != downloadCommandsOnTheLine)
        program.kill();
    QCOMPARE(sent, downloadCommandsOnTheLine);
    QByteArray records;
    for (int i = 0; i < 20; ++i)
        records += "record " + QByteArray::number(i) + ",1.5\r\n";
    QVERIFY(pty.write(records));
    QTRY_COMPARE_WITH_TIMEOUT(journalBytes(), records, 30000);

    program.kill();
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    const QList<RecoveryJournal::Leftover> left = RecoveryJournal::leftovers();
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.at(0).size, records.size());
    QCOMPARE(fileBytes(left.at(0).path), records);
}

void TestRecovery::downloadUntilKilled()
{
    const QString port = qEnvironmentVariable("CV_RECOVERY_KILL_PORT");
    if (port.isEmpty())
        QSKIP("started by killedMidDownloadLeavesWhatArrived only");
    MainWindow window;
    window.show();
    usePort(window, port);
    child<QPushButton>(window, "downloadBtn")->click();
    QTest::qWait(300000);
    QFAIL("not killed");
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
