#include "lockedport.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "modalguard.h"
#include "portwatcher.h"
#include "ptypair.h"
#include "readerprocess.h"
#include "settingskeys.h"
#include "testfiles.h"
#include "windowchild.h"
#include "windowdriver.h"
#include "winserialdeviceasync.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <cmath>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <thread>

namespace {

QString counterText(const MainWindow &window)
{
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>()) {
        if (label->isVisible() && label->text().contains(QLatin1String("bytes received")))
            return label->text();
    }
    return {};
}

// The window's catalogue and default locale of a language, for one case.
class InterfaceLanguage
{
public:
    InterfaceLanguage(const QString &language, const QLocale &locale)
    {
        installed = catalogue.load(
                        QStringLiteral(CV_CATALOGUE_DIR "/corvane_velmora_%1.qm").arg(language)) &&
                    QCoreApplication::installTranslator(&catalogue);
        QLocale::setDefault(locale);
    }
    ~InterfaceLanguage() { QCoreApplication::removeTranslator(&catalogue); }
    InterfaceLanguage(const InterfaceLanguage &) = delete;
    InterfaceLanguage &operator=(const InterfaceLanguage &) = delete;
    bool isInstalled() const { return installed; }

private:
    QTranslator catalogue;
    bool installed = false;
};

bool deviceGone(const MainWindow &window)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !window.session().isRunning() &&
           window.session().findChildren<Cv::WinSerialDeviceAsync *>().isEmpty();
}

// Saves as the user does, with the button offered after a download.
void clickSave(const MainWindow &window)
{
    child<QPushButton>(window, "saveBtn")->click();
}

// Sends a line every few milliseconds, well inside the quiet time, until told
// to stop: a transfer that goes on while the test does something else.
class SlowTester
{
public:
    explicit SlowTester(PtyPair &pty)
        : thread([this, &pty] {
            for (int i = 0; !stopRequested; ++i) {
                const QByteArray line = "line " + QByteArray::number(i) + "\r\n";
                if (!pty.write(line))
                    break;
                sent += line;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        })
    {}
    ~SlowTester() { finish(); }

    QByteArray finish()
    {
        stopRequested = true;
        if (thread.joinable())
            thread.join();
        return sent;
    }

private:
    std::atomic<bool> stopRequested = false;
    QByteArray sent;
    std::thread thread;
};

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void downloadEndsOnQuietLineAndSaves();
    void lostConnectionEndsTheDownload_data();
    void lostConnectionEndsTheDownload();
    void chunkTextStopsAtZeroByteAndDropsCarriageReturns();
    void zeroByteHidesOnlyTheRestOfItsOwnChunk();
    void chunksGoToTheEndWhateverTheUserSelects();
    void cancelOffersSaveOnlyAfterData();
    void connectionFailureSaysWhy_data();
    void connectionFailureSaysWhy();
    void closingTheWindowMidDownloadReleasesThePort();
    void byteCounterInPluralForms_data();
    void byteCounterInPluralForms();
    void portListWaitsForTheDownloadToEnd();
    void escapeCancelsAndControlSSaves();
    void keyboardDownloadsInARow();
    void statusBarReadableOnEveryPalette_data();
    void statusBarReadableOnEveryPalette();
    void statusMessageWholeAtTheFormSize_data();
    void statusMessageWholeAtTheFormSize();

    void germanConversion_data();
    void germanConversion();
    void failedSaveKeepsEverything_data();
    void failedSaveKeepsEverything();
    void openShownOnlyForSavedRecords();
    void saveDialogStartsOutsideTheProgram_data();
    void saveDialogStartsOutsideTheProgram();
    void unsavedRecordsAskBeforeTheyGo_data();
    void unsavedRecordsAskBeforeTheyGo();

public slots:
    void openUrl(const QUrl &url) { openedUrls.append(url); }

private:
    QList<QUrl> openedUrls;

    // Runs a download over the pty that receives these bytes and is then
    // cancelled, leaving the window idle with the bytes kept.
    bool receive(MainWindow &window, PtyPair &pty, const QByteArray &bytes);

    QTemporaryDir dir;
};

void TestDownload::initTestCase()
{
    // Boxes are answered by the ModalAnswers of each case; one that comes
    // where none is waiting ends the run with its text.
    static ModalGuard guard;
    QVERIFY(dir.isValid());
    // Save dialogs must not wander into the user's folders.
    QSettings().clear();
}

void TestDownload::init()
{
    QSettings().clear();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

bool TestDownload::receive(MainWindow &window, PtyPair &pty, const QByteArray &bytes)
{
    if (!startDownload(window, pty))
        return false;
    pty.write(bytes);
    if (!QTest::qWaitFor([&] { return window.session().bytesKept() == bytes.size(); }, 10000))
        return false;
    child<QPushButton>(window, "cancelBtn")->click();
    return deviceGone(window);
}

void TestDownload::downloadEndsOnQuietLineAndSaves()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    usePort(window, pty.slavePath());

    child<QPushButton>(window, "downloadBtn")->click();

    QVERIFY(!child<QPushButton>(window, "downloadBtn")->isVisible());
    QVERIFY(child<QPushButton>(window, "cancelBtn")->isVisible());
    QVERIFY(!child<QComboBox>(window, "comPorts")->isEnabled());
    QVERIFY(!child<QAction>(window, "actionRefreshPorts")->isEnabled());
    QCOMPARE(window.statusBar()->currentMessage(), "Now initiate the download on the tester");
    QVERIFY(window.statusBar()->findChild<QProgressBar *>()->isVisible());

    // Exactly the two commands, and nothing after them.
    QCOMPARE(pty.read(downloadCommandsOnTheLine.size()), downloadCommandsOnTheLine);
    QCOMPARE(pty.drain(200), QByteArray());

    const QString path = dir.filePath(QStringLiteral("records.csv"));
    ModalAnswers save([&](QWidget *modal) { chooseFile(modal, path); });

    // Both lines well within the quiet time, so they make one transfer.
    const QByteArray records("a,b\r\nc,d\r\n");
    QVERIFY(pty.write(records));
    QTRY_VERIFY_WITH_TIMEOUT(save.shown(), 10000);
    QTRY_COMPARE(fileBytes(path), records);
    QCOMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), "a,b\nc,d\n");
    QCOMPARE(window.statusBar()->currentMessage(), "File successfully saved");
    QCOMPARE(QSettings().value(SettingsKeys::deviceLastSavedFilePath).toString(), path);
    QVERIFY(child<QPushButton>(window, "openBtn")->isVisible());
    QVERIFY(child<QPushButton>(window, "saveBtn")->isVisible());
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    QVERIFY(child<QComboBox>(window, "comPorts")->isEnabled());
    QVERIFY(!window.statusBar()->findChild<QProgressBar *>()->isVisible());
    QVERIFY(deviceGone(window));
    QCOMPARE(pty.drain(100), QByteArray());
}

void TestDownload::lostConnectionEndsTheDownload_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::newRow("before any byte") << QByteArray();
    QTest::newRow("mid-transfer") << QByteArray("1,230.5,PASS\r\n2,229.8,");
}

void TestDownload::lostConnectionEndsTheDownload()
{
    QFETCH(QByteArray, records);
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));
    if (!records.isEmpty()) {
        QVERIFY(pty.write(records));
        QTRY_COMPARE(window.session().bytesKept(), records.size());
    }

    const QString path = dir.filePath(QStringLiteral("lost.csv"));
    ModalAnswers answers([&](QWidget *modal) {
        if (qobject_cast<QMessageBox *>(modal))
            pressButton(modal, QMessageBox::Ok);
        else
            chooseFile(modal, path);
    });
    QElapsedTimer sincePullOut;
    sincePullOut.start();
    pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(answers.shown(), 10000);
    const qint64 noticedMs = sincePullOut.elapsed();
    QTRY_VERIFY(child<QPushButton>(window, "downloadBtn")->isVisible() &&
                !QApplication::activeModalWidget());

    QCOMPARE(answers.classes.value(0), "QMessageBox");
    QCOMPARE(answers.texts.value(0), "The connection to the tester was lost.");
    if (records.isEmpty()) {
        QVERIFY(answers.texts.value(1).startsWith("No records arrived."));
        QCOMPARE(answers.classes.size(), 1);
        QVERIFY(!child<QPushButton>(window, "saveBtn")->isVisible());
    } else {
        QVERIFY(answers.texts.value(1).contains("may be incomplete"));
        QCOMPARE(answers.count("QFileDialog"), 1);
        QTRY_COMPARE(fileBytes(path), records);
        QTRY_COMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(),
                     "1,230.5,PASS\n2,229.8,");
    }
    QVERIFY(deviceGone(window));
    // Generous against a busy machine; the figure is printed.
    QVERIFY2(noticedMs < 2000, qPrintable(QString::number(noticedMs)));
    qInfo("lost connection shown %lld ms after the hang-up", noticedMs);
}

void TestDownload::chunkTextStopsAtZeroByteAndDropsCarriageReturns()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    const QByteArray bytes("ab\r\x00"
                           "cd\r\nef",
                           9);
    QVERIFY(receive(window, pty, bytes));

    QTRY_COMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), "ab");

    // The file gets every byte, the zero and what follows included.
    const QString path = dir.filePath(QStringLiteral("zero.txt"));
    ModalAnswers save([&](QWidget *modal) { chooseFile(modal, path); });
    clickSave(window);
    QVERIFY(save.shown());
    QCOMPARE(fileBytes(path), bytes);
}

void TestDownload::zeroByteHidesOnlyTheRestOfItsOwnChunk()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));
    ModalAnswers save([](QWidget *modal) { modal->close(); });

    // Each chunk is written once the window has taken the one before, well
    // within the quiet time, so the window reads them one by one.
    const QList<QByteArray> chunks = {QByteArray("ab\x00zz\r\n", 7), QByteArray("cd\r\n"),
                                      QByteArray("\x00hidden", 7), QByteArray("ef")};
    qsizetype sent = 0;
    for (const QByteArray &chunk : chunks) {
        QVERIFY(pty.write(chunk));
        sent += chunk.size();
        QTRY_COMPARE_WITH_TIMEOUT(window.session().bytesKept(), sent, 10000);
    }
    child<QPushButton>(window, "cancelBtn")->click();

    QTRY_COMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), "abcd\nef");
    QVERIFY(!save.shown());
}

void TestDownload::chunksGoToTheEndWhateverTheUserSelects()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));

    auto *pane = child<QPlainTextEdit>(window, "outputTextEdit");
    SlowTester tester(pty);
    QTRY_VERIFY(pane->toPlainText().size() > 20);

    // The technician selects a word to copy it while the records keep coming.
    QTextCursor selection = pane->textCursor();
    selection.setPosition(0);
    selection.setPosition(4, QTextCursor::KeepAnchor);
    pane->setTextCursor(selection);
    const qsizetype before = pane->toPlainText().size();
    QTRY_VERIFY(pane->toPlainText().size() > before + 20);
    QCOMPARE(pane->textCursor().selectedText(), "line");

    // A plain click somewhere in the pane.
    QTextCursor click = pane->textCursor();
    click.setPosition(3);
    pane->setTextCursor(click);
    const qsizetype later = pane->toPlainText().size();
    QTRY_VERIFY(pane->toPlainText().size() > later + 20);

    ModalAnswers dismiss([](QWidget *modal) { modal->close(); });
    const QByteArray sent = tester.finish();
    QTRY_VERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    QCOMPARE(pane->toPlainText(), QString::fromLatin1(QByteArray(sent).replace("\r", "")));
    QCOMPARE(dismiss.count("QFileDialog"), 1);
}

void TestDownload::cancelOffersSaveOnlyAfterData()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(receive(window, pty, "1,2\r\n"));

    QVERIFY(child<QPushButton>(window, "saveBtn")->isVisible());
    QVERIFY(!child<QPushButton>(window, "openBtn")->isVisible()); // saved nowhere yet
    QVERIFY(counterText(window).isEmpty());
    QVERIFY(!QApplication::activeModalWidget());

    // What comes after Cancel is never read: it is still on the line.
    QTRY_COMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), "1,2\n");
    QVERIFY(pty.write("3,4\r\n"));
    QCOMPARE(pty.readAtPort(5), QByteArray("3,4\r\n"));
    QCoreApplication::processEvents();
    QCOMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), "1,2\n");

    // A second download starts afresh, once the user lets the records go.
    ModalAnswers discard([](QWidget *modal) { pressButton(modal, QMessageBox::Discard); });
    QVERIFY(startDownload(window, pty));
    QCOMPARE(discard.count("QMessageBox"), 1);
    QVERIFY(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText().isEmpty());
    // No counter until records come: the request to the technician has the room.
    QCOMPARE(counterText(window), QString());
    QCOMPARE(window.statusBar()->currentMessage(), "Now initiate the download on the tester");
    child<QPushButton>(window, "cancelBtn")->click();
}

void TestDownload::connectionFailureSaysWhy_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("advice");

    QTest::newRow("no such port") << "missing"
                                  << "is not present";
    QTest::newRow("empty port list") << "none"
                                     << "No port is selected";
    QTest::newRow("held by another program") << "busy"
                                             << "is in use by another program";
    QTest::newRow("opened without a lock by another program") << "unlocked"
                                                              << "pty is in use by sleep (process ";
}

void TestDownload::connectionFailureSaysWhy()
{
    QFETCH(QString, situation);
    QFETCH(QString, advice);

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();

    // A previous download's text must go even though this one fails.
    QVERIFY(receive(window, pty, "old\r\n"));

    std::unique_ptr<LockedPort> holder;
    std::unique_ptr<ReaderProcess> reader;
    if (situation == QLatin1String("unlocked")) {
        reader = std::make_unique<ReaderProcess>(pty.slavePath(), ReaderProcess::HoldsOnly);
        QVERIFY(reader->pid() > 0);
        // A process may take long to start on a busy machine.
        QTRY_VERIFY_WITH_TIMEOUT(reader->hasOpened(), 60000);
        advice += QStringLiteral("%1)\n\nClose that program and try again.").arg(reader->pid());
        usePort(window, pty.slavePath());
    } else if (situation == QLatin1String("missing")) {
        usePort(window, dir.filePath(QStringLiteral("ttyUSB9")));
    } else if (situation == QLatin1String("none")) {
        usePort(window, QString());
    } else {
        holder = std::make_unique<LockedPort>(pty.slavePath());
        QVERIFY(holder->isLocked());
        usePort(window, pty.slavePath());
    }

    // The old records are let go first.
    ModalAnswers box([](QWidget *modal) {
        auto *question = qobject_cast<QMessageBox *>(modal);
        pressButton(modal, question && question->button(QMessageBox::Discard) ? QMessageBox::Discard
                                                                              : QMessageBox::Ok);
    });
    child<QPushButton>(window, "downloadBtn")->click();
    holder.reset();
    if (reader)
        reader->stop();

    QCOMPARE(box.count("QMessageBox"), 2);
    QCOMPARE(box.texts.at(2),
             "Failed to connect. Please check the device is connected and switched on");
    QVERIFY2(box.texts.at(3).contains(advice), qPrintable(box.texts.at(3)));
    if (situation == QLatin1String("unlocked"))
        QVERIFY2(box.texts.at(3).startsWith(advice), qPrintable(box.texts.at(3)));

    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    QVERIFY(!child<QPushButton>(window, "cancelBtn")->isVisible());
    QVERIFY(!child<QPushButton>(window, "saveBtn")->isVisible());
    QVERIFY(!child<QPushButton>(window, "openBtn")->isVisible());
    QVERIFY(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText().isEmpty());
    QVERIFY(window.statusBar()->currentMessage().isEmpty());
    QVERIFY(deviceGone(window));
}

void TestDownload::closingTheWindowMidDownloadReleasesThePort()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SlowTester *tester = nullptr;
    {
        MainWindow window;
        window.show();
        QVERIFY(startDownload(window, pty));
        tester = new SlowTester(pty);
        QTRY_VERIFY(window.session().bytesKept() > 0);
        window.close();
        QVERIFY(!QApplication::activeModalWidget());
    }
    delete tester;
    QVERIFY(LockedPort(pty.slavePath()).isLocked());
}

void TestDownload::byteCounterInPluralForms_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("counter");

    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("en, one") << "en" << en << 1 << "1 byte received";
    QTest::newRow("en, many") << "en" << en << 1235 << "1,235 bytes received";
    QTest::newRow("de, one") << "de" << de << 1 << "1 Byte empfangen";
    QTest::newRow("de, many") << "de" << de << 1235 << "1.235 Bytes empfangen";
}

void TestDownload::byteCounterInPluralForms()
{
    QFETCH(QString, language);
    QFETCH(QLocale, locale);
    QFETCH(int, bytes);
    QFETCH(QString, counter);

    InterfaceLanguage interface(language, locale);
    QVERIFY(interface.isInstalled());

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(startDownload(window, pty));
    // Read after each chunk is counted: the counter goes with the download.
    QString shown;
    connect(&window.session(), &DownloadSession::recordsKept, &window, [&] {
        if (auto *label = window.statusBar()->findChild<QLabel *>())
            shown = label->text();
    });
    ModalAnswers dismiss([](QWidget *modal) { modal->close(); });
    QVERIFY(pty.write(QByteArray(bytes, '1')));
    QTRY_VERIFY_WITH_TIMEOUT(dismiss.count("QFileDialog") == 1, 10000);
    QCOMPARE(shown, counter);
}

void TestDownload::germanConversion_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("answer"); // the button pressed if asked, 0: no question expected
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QVariant>("storedAfter");

    const QByteArray raw("1.5,2.25\r\n12:30:15.5, 01.02.13\r\n");
    const QByteArray german("1,5;2,25\r\n12:30:15,5; 01,02,13\r\n");
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale deAt(QLocale::German, QLocale::Austria);
    const QLocale enDe(QLocale::English, QLocale::Germany);

    QTest::newRow("asked, yes") << de << QVariant() << "data.csv" << int(QMessageBox::Yes) << german
                                << QVariant(true);
    QTest::newRow("asked, no") << de << QVariant() << "data.csv" << int(QMessageBox::No) << raw
                               << QVariant(false);
    QTest::newRow("stored true, suffix in capitals")
        << deAt << QVariant(true) << "DATA.CSV" << 0 << german << QVariant(true);
    QTest::newRow("stored false") << de << QVariant(false) << "data.Csv" << 0 << raw
                                  << QVariant(false);
    QTest::newRow("not a csv suffix")
        << de << QVariant() << "data.csv.txt" << 0 << raw << QVariant();
    QTest::newRow("no suffix") << de << QVariant(true) << "data" << 0 << raw << QVariant(true);
    QTest::newRow("English in Germany")
        << enDe << QVariant(true) << "data.csv" << 0 << raw << QVariant(true);
    QTest::newRow("English, never asked")
        << QLocale(QLocale::English) << QVariant() << "data.csv" << 0 << raw << QVariant();
}

void TestDownload::germanConversion()
{
    QFETCH(QLocale, locale);
    QFETCH(QVariant, stored);
    QFETCH(QString, fileName);
    QFETCH(int, answer);
    QFETCH(QByteArray, expected);
    QFETCH(QVariant, storedAfter);

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    const QByteArray raw("1.5,2.25\r\n12:30:15.5, 01.02.13\r\n");
    QVERIFY(receive(window, pty, raw));

    QLocale::setDefault(locale);
    if (stored.isValid())
        QSettings().setValue(SettingsKeys::convertData, stored);

    const QString path = dir.filePath(QTest::currentDataTag() + QLatin1Char('-') + fileName);
    {
        ModalAnswers answers([&](QWidget *modal) {
            if (qobject_cast<QFileDialog *>(modal))
                chooseFile(modal, path);
            else
                pressButton(modal, QMessageBox::StandardButton(answer ? answer : QMessageBox::Ok));
        });
        clickSave(window);
        QVERIFY2(answers.count("QMessageBox") == (answer ? 1 : 0),
                 qPrintable(answers.texts.join(QLatin1Char('|'))));
        if (answer) {
            QCOMPARE(answers.texts.at(0), "Would you like to convert the data to German format?");
        }
    }
    QCOMPARE(fileBytes(path), expected);
    QCOMPARE(QSettings().value(SettingsKeys::convertData), storedAfter);

    // The bytes kept are never converted themselves: a second save without
    // conversion writes them as they came.
    QSettings().setValue(SettingsKeys::convertData, false);
    const QString again = dir.filePath(QTest::currentDataTag() + QLatin1String("-again.csv"));
    ModalAnswers second([&](QWidget *modal) { chooseFile(modal, again); });
    clickSave(window);
    QCOMPARE(fileBytes(again), raw);
}

void TestDownload::failedSaveKeepsEverything_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("link into a missing folder") << "link";
    QTest::newRow("disk full on an existing file") << "full";
}

void TestDownload::failedSaveKeepsEverything()
{
    QFETCH(QString, situation);

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    const QByteArray records(64 * 1024, 'x');
    QVERIFY(receive(window, pty, records));

    // A first save that works, to have something to keep.
    const QString good = dir.filePath(QTest::currentDataTag() + QLatin1String("-good.txt"));
    {
        ModalAnswers save([&](QWidget *modal) { chooseFile(modal, good); });
        clickSave(window);
    }
    QCOMPARE(QSettings().value(SettingsKeys::deviceLastSavedFilePath).toString(), good);
    window.statusBar()->clearMessage();
    child<QPushButton>(window, "openBtn")->hide();

    QString target;
    const QByteArray previous("the records of yesterday\r\n");
    if (situation == QLatin1String("link")) {
        // As on a drive that is not there any more; the file dialog itself
        // keeps names in missing folders out.
        target = dir.filePath(QStringLiteral("on-usb-stick.txt"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("unplugged/records.txt")), target));
    } else {
        target = dir.filePath(QStringLiteral("yesterday.txt"));
        QVERIFY(writeFile(target, previous));
    }

    rlimit saved{};
    const bool limitFileSize = situation == QLatin1String("full");
    if (limitFileSize) {
        // A file size limit makes the write fail as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }

    ModalAnswers answers([&](QWidget *modal) {
        if (qobject_cast<QFileDialog *>(modal))
            chooseFile(modal, target);
        else if (auto *box = qobject_cast<QMessageBox *>(modal);
                 box && box->button(QMessageBox::Yes))
            pressButton(modal, QMessageBox::Yes); // yes, replace the existing file
        else
            pressButton(modal, QMessageBox::Ok);
    });
    clickSave(window);
    if (limitFileSize)
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);

    const qsizetype error = answers.texts.indexOf(
        QStringLiteral("Error opening \"%1\" for writing. Is it open already or read only?")
            .arg(target));
    QVERIFY2(error >= 0, qPrintable(answers.texts.join(QLatin1Char('|'))));
    QVERIFY(!answers.texts.at(error + 1).isEmpty()); // the system's reason
    QVERIFY(window.statusBar()->currentMessage().isEmpty());
    QVERIFY(!child<QPushButton>(window, "openBtn")->isVisible());
    QCOMPARE(QSettings().value(SettingsKeys::deviceLastSavedFilePath).toString(), good);
    if (limitFileSize)
        QCOMPARE(fileBytes(target), previous);
    else
        QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(fileBytes(good), records);
}

void TestDownload::openShownOnlyForSavedRecords()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(receive(window, pty, "1\r\n"));
    auto *open = child<QPushButton>(window, "openBtn");
    QVERIFY(!open->isVisible());

    {
        ModalAnswers cancel([](QWidget *modal) { modal->close(); });
        clickSave(window);
        QCOMPARE(cancel.count("QFileDialog"), 1);
    }
    QVERIFY(!open->isVisible());

    const QString path = dir.filePath(QStringLiteral("opened.csv"));
    {
        ModalAnswers save([&](QWidget *modal) { chooseFile(modal, path); });
        clickSave(window);
    }
    QVERIFY(open->isVisible());

    // A save dialog cancelled later leaves the records in the file they went to.
    {
        ModalAnswers cancel([](QWidget *modal) { modal->close(); });
        clickSave(window);
    }
    QVERIFY(open->isVisible());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    open->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(openedUrls, QList<QUrl>{QUrl::fromLocalFile(path)});
    openedUrls.clear();
    QCOMPARE(QSettings().value(SettingsKeys::deviceLastSavedFilePath).toString(), path);
}

void TestDownload::saveDialogStartsOutsideTheProgram_data()
{
    QTest::addColumn<QString>("stored"); // relative to the home folder
    QTest::addColumn<bool>("documents"); // whether the documents folder is there
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing stored") << QString() << true << "Documents";
    QTest::newRow("nothing stored, no documents folder") << QString() << false << "";
    QTest::newRow("folder of the stored file gone") << "stick/records.csv" << true << "Documents";
    QTest::newRow("folder of the stored file there") << "records/old.csv" << true << "records";
}

void TestDownload::saveDialogStartsOutsideTheProgram()
{
    QFETCH(QString, stored);
    QFETCH(bool, documents);
    QFETCH(QString, expected);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", oldHome); });
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("records")));
    if (documents)
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
             home.filePath(QStringLiteral("Documents")));
    if (!stored.isEmpty())
        QSettings().setValue(SettingsKeys::deviceLastSavedFilePath, home.filePath(stored));

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(receive(window, pty, "1\r\n"));

    QString shownFolder;
    {
        ModalAnswers look([&](QWidget *modal) {
            if (auto *dialog = qobject_cast<QFileDialog *>(modal))
                shownFolder = dialog->directory().absolutePath();
            modal->close();
        });
        clickSave(window);
    }
    QCOMPARE(shownFolder, QDir(home.path()).absoluteFilePath(expected));
}

void TestDownload::unsavedRecordsAskBeforeTheyGo_data()
{
    QTest::addColumn<QString>("leaving"); // by "download" or "close"
    QTest::addColumn<int>("answer");      // the button, Escape as 0, or -1 when saved before
    QTest::addColumn<bool>("fileChosen"); // in the save dialog, if one comes
    QTest::addColumn<bool>("gone");       // whether the records were let go

    const int cancel = QMessageBox::Cancel;
    const int discard = QMessageBox::Discard;
    const int save = QMessageBox::Save;
    for (const char *leaving : {"download", "close"}) {
        const QByteArray tag(leaving);
        QTest::newRow(tag + ", cancel") << leaving << cancel << false << false;
        QTest::newRow(tag + ", escape") << leaving << 0 << false << false;
        QTest::newRow(tag + ", discard") << leaving << discard << false << true;
        QTest::newRow(tag + ", save") << leaving << save << true << true;
        QTest::newRow(tag + ", save dialog cancelled") << leaving << save << false << false;
        QTest::newRow(tag + ", saved before") << leaving << -1 << false << true;
    }
}

void TestDownload::unsavedRecordsAskBeforeTheyGo()
{
    QFETCH(QString, leaving);
    QFETCH(int, answer);
    QFETCH(bool, fileChosen);
    QFETCH(bool, gone);

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    const QByteArray records("1,2\r\n");
    QVERIFY(receive(window, pty, records));
    const QString path = dir.filePath(QTest::currentDataTag() + QLatin1String(".csv"));
    if (answer == -1) {
        ModalAnswers save([&](QWidget *modal) { chooseFile(modal, path); });
        clickSave(window);
        QVERIFY(QFileInfo::exists(path));
        QFile::remove(path);
    }

    bool defaultIsCancel = false;
    ModalAnswers answers([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            if (fileChosen)
                chooseFile(modal, path);
            else
                modal->close();
            return;
        }
        defaultIsCancel = box->defaultButton() == box->button(QMessageBox::Cancel) &&
                          box->escapeButton() == box->button(QMessageBox::Cancel);
        if (answer == 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            pressButton(box, QMessageBox::StandardButton(answer));
    });
    if (leaving == QLatin1String("download")) {
        child<QPushButton>(window, "downloadBtn")->click();
    } else {
        window.close();
    }

    if (answer == -1) {
        QVERIFY(!answers.shown());
    } else {
        QCOMPARE(answers.count("QMessageBox"), 1);
        QCOMPARE(answers.texts.at(0), "The downloaded records have not been saved.");
        QCOMPARE(answers.texts.at(1), "Do you want to save them?");
        QVERIFY(defaultIsCancel);
    }
    if (fileChosen)
        QCOMPARE(fileBytes(path), records);
    if (leaving == QLatin1String("download")) {
        QCOMPARE(child<QPushButton>(window, "cancelBtn")->isVisible(), gone);
        QCOMPARE(gone ? pty.read(downloadCommandsOnTheLine.size()) : pty.drain(200),
                 gone ? downloadCommandsOnTheLine : QByteArray());
        child<QPushButton>(window, "cancelBtn")->click();
    } else {
        QCOMPARE(window.isVisible(), !gone);
        if (!gone)
            QCOMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), "1,2\n");
    }
}

// The list a download started from stays while it runs; a change of the
// hardware meanwhile is taken in when it ends. (The pty is never among the
// system's ports, so reading the list again drops it.)
void TestDownload::portListWaitsForTheDownloadToEnd()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    QVERIFY(startDownload(window, pty));
    auto *ports = child<QComboBox>(window, "comPorts");

    emit window.findChild<Cv::PortWatcher *>()->portsChanged({});
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->currentText(), QStringLiteral("pty"));

    child<QPushButton>(window, "cancelBtn")->click();
    QVERIFY(ports->findText(QStringLiteral("pty")) < 0);
    QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
}

void TestDownload::escapeCancelsAndControlSSaves()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Nothing to save yet: Ctrl+S does nothing.
    ModalAnswers answers([](QWidget *modal) { modal->close(); });
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QVERIFY(!answers.shown());

    QVERIFY(startDownload(window, pty));
    QVERIFY(pty.write("abc\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.session().bytesKept(), 5, 10000);
    const QLabel *counter = nullptr;
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>())
        if (label->text() == QLatin1String("5 bytes received"))
            counter = label;
    QVERIFY(counter);
    QCOMPARE(counter->accessibleName(), QStringLiteral("Bytes received"));
    QVERIFY(!counter->accessibleDescription().isEmpty());

    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    QVERIFY(deviceGone(window));
    QVERIFY(!answers.shown()); // a cancel opens no save dialog

    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(answers.count("QFileDialog"), 1, 30000);
}

// Each download ends as a technician's often do: Escape, or the quiet line
// and a save dialog that is cancelled; the next Alt+D lets the unsaved
// records go. Every press must start a download, however many came before.
void TestDownload::keyboardDownloadsInARow()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ModalAnswers answers([](QWidget *modal) { pressButton(modal, QMessageBox::Discard); });
    // What a window manager does when a box closes; the test platform leaves
    // no window active.
    const auto activate = [&] {
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    };

    for (int i = 0; i < 50; ++i) {
        PtyPair pty;
        QVERIFY(pty.isValid());
        usePort(window, pty.slavePath());
        QVERIFY(activate());
        QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
        // A mnemonic clicks its button from the event loop.
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(window, "cancelBtn")->isVisible(), 30000);
        QVERIFY2(pty.read(downloadCommandsOnTheLine.size(), 30000) == downloadCommandsOnTheLine,
                 qPrintable(QStringLiteral("download %1 did not start").arg(i + 1)));
        QVERIFY(pty.write(QByteArray::number(i) + ",230.5\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(window.session().bytesKept() > 0, 30000);
        if (i % 10 == 9) {
            const qsizetype dialogs = answers.count("QFileDialog");
            QTRY_COMPARE_WITH_TIMEOUT(answers.count("QFileDialog"), dialogs + 1, 30000);
        } else {
            QVERIFY(activate());
            QTest::keyClick(&window, Qt::Key_Escape);
        }
        QTRY_VERIFY_WITH_TIMEOUT(deviceGone(window) && !QApplication::activeModalWidget(), 30000);
        QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    }
    QCOMPARE(answers.count("QFileDialog"), 5);
    QCOMPARE(answers.count("QMessageBox"), 49);
}

namespace {

// Contrast ratio of two colours as the accessibility guidelines define it.
double contrast(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// How well the text in `area` stands out: the strongest contrast of any pixel
// against the area's most common colour, its background.
double textContrast(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = qMax(best, contrast(it.key(), background));
    return best;
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x50));
    return dark;
}

} // namespace

// The status bar's message and the byte counter beside the busy indicator,
// rendered on a light and on a dark palette.
void TestDownload::statusMessageWholeAtTheFormSize_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QByteArray>("records");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("en, waiting") << "en" << en << QByteArray();
    QTest::newRow("en, receiving") << "en" << en << QByteArray(12345678, '1');
    QTest::newRow("de, waiting") << "de" << de << QByteArray();
    QTest::newRow("de, receiving") << "de" << de << QByteArray(12345678, '1');
}

// The message left of the counter and the busy bar is not cut off at the
// size the window first has. CV_SCREENSHOT_DIR keeps a picture of each.
void TestDownload::statusMessageWholeAtTheFormSize()
{
    QFETCH(QString, language);
    QFETCH(QLocale, locale);
    QFETCH(QByteArray, records);
    InterfaceLanguage interface(language, locale);
    QVERIFY(interface.isInstalled());

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(451, 367));
    QVERIFY(startDownload(window, pty));
    if (!records.isEmpty()) {
        QVERIFY(pty.write(records, 30000));
        QTRY_COMPARE_WITH_TIMEOUT(window.session().bytesKept(), records.size(), 30000);
    }
    QStatusBar *bar = window.statusBar();
    QTRY_VERIFY(!bar->currentMessage().isEmpty());
    int room = bar->width();
    for (const QWidget *widget : bar->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (widget->isVisible())
            room = qMin(room, widget->geometry().left());
    }
    const int needed = bar->fontMetrics().horizontalAdvance(bar->currentMessage()) + 6;
    if (const QString shots = qEnvironmentVariable("CV_SCREENSHOT_DIR"); !shots.isEmpty())
        window.grab().save(QStringLiteral("%1/status-%2.png").arg(shots, QTest::currentDataTag()));
    QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1: %2 px needed, %3 px left")
                                            .arg(bar->currentMessage())
                                            .arg(needed)
                                            .arg(room)));
    child<QPushButton>(window, "cancelBtn")->click();
}

void TestDownload::statusBarReadableOnEveryPalette_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("whiteBar");
    QTest::newRow("light") << QApplication::style()->standardPalette() << true;
    QTest::newRow("dark") << darkPalette() << false;
}

void TestDownload::statusBarReadableOnEveryPalette()
{
    QFETCH(QPalette, palette);
    QFETCH(bool, whiteBar);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(palette);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(startDownload(window, pty));
    QVERIFY(pty.write("12345"));
    QTRY_COMPARE_WITH_TIMEOUT(window.session().bytesKept(), 5, 10000);

    QStatusBar *bar = window.statusBar();
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QLabel *counter = nullptr;
    for (const QLabel *label : bar->findChildren<QLabel *>())
        if (label->isVisible() && label->text() == QLatin1String("5 bytes received"))
            counter = label;
    QVERIFY(counter);
    const qreal scale = image.width() / qreal(bar->width());
    const QRect message(0, int(2 * scale), int(counter->x() * scale) - 1,
                        int((bar->height() - 4) * scale));
    const QRect count(int(counter->x() * scale), int(counter->y() * scale),
                      int(counter->width() * scale), int(counter->height() * scale));
    QVERIFY2(textContrast(image, message) >= 4.5,
             qPrintable(QString::number(textContrast(image, message))));
    QVERIFY2(textContrast(image, count) >= 4.5,
             qPrintable(QString::number(textContrast(image, count))));
    // The light look stays: a white bar.
    if (whiteBar)
        QCOMPARE(QColor(image.pixel(message.left() + 1, message.bottom())), QColor(Qt::white));
    child<QPushButton>(window, "cancelBtn")->click();
}

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
