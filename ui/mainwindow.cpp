#include "mainwindow.h"

#include "connectionfailureadvice.h"
#include "dialoglanguage.h"
#include "germancsv.h"
#include "helpfile.h"
#include "languagesettings.h"
#include "openfailure.h"
#include "portchoice.h"
#include "portenumerator.h"
#include "porttooltip.h"
#include "portwatcher.h"
#include "recordfilewriter.h"
#include "recoveryjournal.h"
#include "resourcebundle.h"
#include "savedialogstart.h"
#include "settingskeys.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QShortcut>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>

#include <limits>

namespace {

QString receivedBytesText(qint64 count)
{
    // The plural form is chosen by an int; the window cannot hold 2 GiB of
    // records anyway (the pane alone would need several times that).
    const int n = int(qMin(count, qint64(std::numeric_limits<int>::max())));
    return QCoreApplication::translate("MainWindow", "%Ln bytes received",
                                       "Counter beside the busy indicator during a download", n);
}

// A display line is broken after this many characters without a break of its
// own, and the pane keeps about this many characters of the newest records.
constexpr qsizetype paneLineLimit = 1024;
constexpr qsizetype paneCharacterLimit = 512 * 1024;
// The busy indicator moves this much of its animation a step; a step comes
// this often while records arrive, and a tenth as often while the window
// waits for the tester, which may be for hours.
constexpr int busyStepMs = 100;
constexpr int busyStepWaitingMs = 1000;

} // namespace

MainWindow::MainWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), paneFeed(paneLineLimit), paneLimit(paneCharacterLimit)
{
    initResourceBundle();

    ui.setupUi(this);
    // The pane is read-only: an undo history would only hold a second copy of
    // every download.
    ui.outputTextEdit->setUndoRedoEnabled(false);

    ui.cancelBtn->hide();
    ui.openBtn->hide();
    ui.saveBtn->hide();

    // Done before toggled(bool) is connected, so restoring the choice does not store it again.
    QVariant convertData;
    if (QLocale().language() == QLocale::German)
        convertData = QSettings().value(SettingsKeys::convertData);
    if (convertData.isValid())
        ui.actionConvertCsvData->setChecked(convertData.toBool());
    else
        ui.menuCountrySettings->hide();

    setWindowIcon(QIcon(QStringLiteral(":/Corvane.png")));

    // The language dialog and the conversion toggle stay out of reach: the
    // Tools menu keeps only "Refresh Ports".
    ui.actionChangeLanguage->setVisible(false);
    ui.menuCountrySettings->menuAction()->setVisible(false);

    progressBar = new QProgressBar;
    progressBar->setValue(0);
    progressBar->setMaximum(0);
    progressBar->setMaximumHeight(15);
    // Narrow, so that the message beside it stays whole at the first size.
    progressBar->setMaximumWidth(60);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #CCCCCC; border-radius: 3px; } "
                       "QProgressBar::chunk:horizontal { background: qlineargradient(x1: 0, y1: "
                       "0.5, x2: 1, y2: 0.5, stop: 0 orange, stop: 1 white); }"));

    busyStep.setInterval(busyStepWaitingMs);
    connect(&busyStep, &QTimer::timeout, this, &MainWindow::stepBusyIndicator);

    downloadSession.setQuietEndGate([this] { return !paneBehind(); });
    connect(&downloadSession, &DownloadSession::recordsKept, this, &MainWindow::readyRead);
    connect(&downloadSession, &DownloadSession::quietEnd, this, &MainWindow::readTimeOut);
    connect(&downloadSession, &DownloadSession::connectionLost, this, &MainWindow::connectionLost);
    connect(&downloadSession, &DownloadSession::sizeLimitReached, this,
            &MainWindow::stopEndlessDownload);

    byteCounter = new QLabel;
    byteCounter->setAccessibleName(tr("Bytes received"));
    byteCounter->setAccessibleDescription(
        tr("How many bytes of the tester's records have arrived in this download."));

    // Background and text from the same palette pair: white with dark text on
    // a light desktop, as before, and dark with light text on a dark one.
    ui.statusBar->setStyleSheet(
        QStringLiteral("QStatusBar { background-color: palette(base); color: palette(text); "
                       "border-top: 1px solid gray; }"));
    ui.statusBar->setMinimumHeight(30);

    {
        QSettings settings;
        restoreGeometry(settings.value(SettingsKeys::mainWindowGeometry).toByteArray());
        restoreState(settings.value(SettingsKeys::mainWindowState).toByteArray(), 0);
    }

    refreshPorts();
    portWatcher = new Cv::PortWatcher(this);
    connect(portWatcher, &Cv::PortWatcher::portsChanged, this, &MainWindow::followPorts);

    // Keys of their own beside the mnemonics of the texts. Save and Cancel
    // act only while their button is offered.
    ui.actionHelp->setShortcut(QKeySequence(Qt::Key_F1));
    ui.actionRefreshPorts->setShortcut(QKeySequence(Qt::Key_F5));
    const auto clickIfOffered = [](QPushButton *button) {
        return [button] {
            if (button->isVisible() && button->isEnabled())
                button->click();
        };
    };
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            clickIfOffered(ui.saveBtn));
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            clickIfOffered(ui.cancelBtn));

    connect(ui.actionExit, &QAction::triggered, this, &QWidget::close);
    connect(ui.actionChangeLanguage, &QAction::triggered, this, &MainWindow::changeLanguage);
    connect(ui.actionRefreshPorts, &QAction::triggered, this, &MainWindow::refreshPorts);
    connect(ui.actionHelp, &QAction::triggered, this, &MainWindow::showHelp);
    connect(ui.actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui.actionConvertCsvData, &QAction::toggled, this, &MainWindow::convertDataToggled);
    connect(ui.downloadBtn, &QPushButton::clicked, this, &MainWindow::download);
    connect(ui.cancelBtn, &QPushButton::clicked, this, &MainWindow::cancelDownload);
    connect(ui.saveBtn, &QPushButton::clicked, this, &MainWindow::saveFile);
    connect(ui.openBtn, &QPushButton::clicked, this, &MainWindow::openFile);
    // At the end of a Windows session the process may be ended right after
    // this signal, before the window is destroyed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::storeSettings);

    showPortHint();
}

MainWindow::~MainWindow()
{
    // A download still running ends here, while the window is whole: nothing
    // it says may reach members already gone.
    disconnect(&downloadSession, nullptr, this, nullptr);
    downloadSession.cancel();
    storeSettings();
    delete progressBar;
    delete byteCounter;
}

void MainWindow::storeSettings()
{
    QSettings settings;
    settings.setValue(SettingsKeys::mainWindowGeometry, saveGeometry());
    settings.setValue(SettingsKeys::mainWindowState, saveState(0));
    settings.setValue(SettingsKeys::devicePortName, ui.comPorts->currentText());
}

// The style animates the busy indicator at its own frame rate, which wakes the
// program some sixty times a second for as long as a download waits, possibly
// hours. Its animation is held and moved on here instead: at its own speed
// while records arrive, and slowly while the window waits, so that an idle
// window is as quiet as a terminal and still shows that it waits.
void MainWindow::stepBusyIndicator()
{
    auto *animation = progressBar->findChild<QAbstractAnimation *>();
    if (!animation)
        return;
    if (animation->state() == QAbstractAnimation::Running)
        animation->pause();
    if (animation->state() == QAbstractAnimation::Paused)
        animation->setCurrentTime(animation->currentTime() + busyStepMs);
}

void MainWindow::changeLanguage()
{
    DialogLanguage dialog(translationsDirectory, this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    QMessageBox question;
    question.setText(tr("The language will be changed next time Corvane Velmora is started."));
    question.setInformativeText(tr("Would you like to restart now?"));
    question.setIcon(QMessageBox::Question);
    question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    if (question.exec() == QMessageBox::Yes) {
        restartRequested = true;
        // The user may keep the window for records not saved yet.
        if (!close())
            restartRequested = false;
    }
}

// The port the user chose stays selected for as long as it is present, so
// that a refresh after plugging in another adapter does not send the next
// download elsewhere; then the port stored at the last exit; then the first.
void MainWindow::refreshPorts()
{
    QList<PortInfo> ports;
    enumeratePorts(ports);
    showPorts(ports);
}

// The list follows adapters as they come and go, without taking the user's
// choice away while its port is there. A running download keeps the list it
// started with; the list catches up when the download ends. Ports announced
// as gone are left out even if the system still lists them for a moment.
void MainWindow::followPorts(const QStringList &gone)
{
    if (downloadRunning()) {
        portsChangedDuringDownload = true;
        return;
    }
    portsChangedDuringDownload = false;

    QList<PortInfo> ports;
    enumeratePorts(ports);
    ports.removeIf([&gone](const PortInfo &port) { return gone.contains(port.portName); });
    QStringList names;
    for (const PortInfo &port : ports)
        names.append(port.portName);
    QStringList shown;
    for (int i = 0; i < ui.comPorts->count(); ++i)
        shown.append(ui.comPorts->itemText(i));
    if (names != shown)
        showPorts(ports);
}

// Keeps the user's choice while its port is present, else the port stored at
// the last exit, else the first.
void MainWindow::showPorts(const QList<PortInfo> &ports)
{
    const QString current = ui.comPorts->currentText();
    const QString stored = QSettings().value(SettingsKeys::devicePortName).toString();
    QStringList names;
    ui.comPorts->clear();
    for (qsizetype i = 0; i < ports.size(); ++i) {
        names.append(ports.at(i).portName);
        ui.comPorts->addItem(ports.at(i).portName, ports.at(i).openName);
        ui.comPorts->setItemData(int(i), portToolTip(ports.at(i)), Qt::ToolTipRole);
    }
    ui.comPorts->setCurrentIndex(choosePort(names, current, stored));
    showPortHint();
}

void MainWindow::showPortHint()
{
    if (downloadRunning())
        return;
    if (ui.comPorts->count() > 0)
        ui.statusBar->showMessage(tr("Please select a port and connect your device"));
    else // short enough for the status bar at the window's first size
        ui.statusBar->showMessage(tr("No serial port found: check cable, power and driver."));
}

void MainWindow::download()
{
    if (!mayDropRecords())
        return;

    ui.downloadBtn->hide();
    ui.cancelBtn->show();
    ui.openBtn->hide();
    ui.saveBtn->hide();
    ui.actionRefreshPorts->setEnabled(false);
    ui.actionChangeLanguage->setEnabled(false);
    ui.comPorts->setEnabled(false);

    // The counter joins once records arrive: until then it would say nothing
    // and take the room the request to the technician needs.
    ui.statusBar->showMessage(tr("Now initiate the download on the tester"));
    byteCounter->setText(receivedBytesText(0));
    ui.statusBar->addPermanentWidget(progressBar, 0);
    progressBar->show();
    busyStep.setInterval(busyStepWaitingMs);
    busyStep.start();

    ui.outputTextEdit->clear();
    recordsTaken = 0;
    recordsTime = QDateTime::currentDateTime();
    lastSavedFilePath.clear(); // these records are not saved anywhere yet
    // The records before are saved or let go by now.
    journal.discard();
    journal.start();
    paneFeed.restart();
    paneLimit.restart();

    const QString portName = ui.comPorts->itemData(ui.comPorts->currentIndex()).toString();
    if (downloadSession.start(portName))
        return;

    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("Failed to connect. Please check the device is connected and switched on"));
    box.setInformativeText(
        connectionFailureAdvice(downloadSession.openFailure(), ui.comPorts->currentText()));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    showIdle();
}

// Takes what the session has kept since the last look: shows it, counts it
// and puts it in the journal.
void MainWindow::readyRead()
{
    const RecordBlocks &records = downloadSession.records();
    const qint64 from = recordsTaken;
    recordsTaken = records.size();
    if (from == recordsTaken)
        return;
    if (from == 0) {
        ui.statusBar->addPermanentWidget(byteCounter, 0);
        byteCounter->show();
        // Moved so that it stays right of the counter.
        ui.statusBar->removeWidget(progressBar);
        ui.statusBar->addPermanentWidget(progressBar, 0);
        progressBar->show();
        busyStep.setInterval(busyStepMs);
    }
    ui.statusBar->showMessage(tr("Downloading..."));

    // The pane shows the text up to a zero byte, as the tester's records are
    // text; the raw bytes, zeros included, are kept for the file.
    records.forEachPiece(from, recordsTaken, [this](const char *piece, qsizetype size) {
        journal.append(QByteArray::fromRawData(piece, size));
    });
    paneFeed.chunkKept(records, from);
    byteCounter->setText(receivedBytesText(recordsTaken));

    queuePaneUpdate();
}

void MainWindow::stopEndlessDownload()
{
    showIdle();
    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("More than %1 MB arrived without a pause: this is not a tester's memory. The "
                   "download was stopped; what arrived can be saved.")
                    .arg(downloadSession.sizeLimit() / (1024 * 1024)));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// The pane takes the text of all chunks since its last turn at once, and no
// more than it can lay out in a few milliseconds: a fast line notifies far
// more often, and faster, than a text pane can follow.
void MainWindow::queuePaneUpdate()
{
    if (paneUpdateQueued)
        return;
    paneUpdateQueued = true;
    QTimer::singleShot(0, this, [this] {
        paneUpdateQueued = false;
        showPendingText(4);
        if (paneBehind())
            queuePaneUpdate();
    });
}

// Shows the text of the kept bytes the pane does not show yet, carriage
// returns removed, until it is all shown or, with a budget, until the budget
// is spent.
void MainWindow::showPendingText(qint64 budgetMs)
{
    if (!paneBehind())
        return;
    const QString notice = tr("Earlier records are no longer shown here; they are all kept and "
                              "saved to the file.");
    // Always at the end of the text: the user may have clicked or selected
    // something in the pane, and the records must not land there.
    QPlainTextEdit *pane = ui.outputTextEdit;
    const bool following = !pane->textCursor().hasSelection();
    // A pane more than its limit behind a fast line would lay out text only
    // to drop it again: it goes on with the newest records it keeps.
    const RecordBlocks &records = downloadSession.records();
    if (paneFeed.pending(records) > paneCharacterLimit &&
        paneFeed.skipTo(records, records.size() - paneCharacterLimit))
        paneLimit.dropShown(pane->document(), notice);
    QTextCursor end(pane->document());
    end.movePosition(QTextCursor::End);
    QElapsedTimer clock;
    clock.start();
    constexpr qsizetype slice = 16384;
    while (paneBehind()) {
        const QString text = paneFeed.take(records, slice);
        if (!text.isEmpty())
            end.insertText(text);
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs)
            break;
    }
    paneLimit.apply(pane->document(), notice);
    // A selection is kept, and so is the view on it, until the user lets go.
    if (following) {
        pane->moveCursor(QTextCursor::End);
        pane->ensureCursorVisible();
    }
}

// The line fell quiet after the records: the transfer is over.
void MainWindow::readTimeOut()
{
    showIdle();
    QCoreApplication::processEvents();
    saveFile();
}

// The adapter was pulled out or the tester switched off: what arrived is
// kept and offered, but not as if the transfer had come to its end.
void MainWindow::connectionLost()
{
    showIdle();

    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("The connection to the tester was lost."));
    const bool dataReceived = downloadSession.hasData();
    if (dataReceived) {
        box.setInformativeText(tr("The records received so far may be incomplete. They are "
                                  "offered for saving next."));
    } else {
        box.setInformativeText(tr("No records arrived. Check that the adapter is plugged in and "
                                  "the tester is switched on, then try again."));
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    if (dataReceived)
        saveFile();
}

void MainWindow::cancelDownload()
{
    if (!downloadRunning())
        return;
    downloadSession.cancel();
    showIdle();
}

// The window after a download, however it ended. What the pane has still to
// show follows in its own turns, as during the download: all at once, a long
// backlog would freeze the window.
void MainWindow::showIdle()
{
    ui.downloadBtn->show();
    ui.cancelBtn->hide();
    ui.saveBtn->setVisible(downloadSession.hasData());
    ui.actionRefreshPorts->setEnabled(true);
    ui.actionChangeLanguage->setEnabled(true);
    ui.comPorts->setEnabled(true);
    ui.statusBar->clearMessage();
    ui.statusBar->removeWidget(progressBar);
    busyStep.stop();
    ui.statusBar->removeWidget(byteCounter);
    journal.finish();

    // By now the system's list has settled: no announced names to leave out.
    if (portsChangedDuringDownload)
        followPorts({});
}

// Records not saved go only with the user's consent; during a download the
// window may go with what has come so far.
bool MainWindow::mayDropRecords()
{
    if (downloadRunning() || !hasRecords() || !lastSavedFilePath.isEmpty())
        return true;

    QMessageBox question(this);
    question.setIcon(QMessageBox::Warning);
    question.setText(tr("The downloaded records have not been saved."));
    question.setInformativeText(tr("Do you want to save them?"));
    question.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    question.setDefaultButton(QMessageBox::Cancel);
    question.setEscapeButton(QMessageBox::Cancel);
    switch (question.exec()) {
    case QMessageBox::Save:
        saveFile();
        return !lastSavedFilePath.isEmpty();
    case QMessageBox::Discard:
        journal.discard();
        return true;
    default:
        return false;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const bool mayGo = endingSession || mayDropRecords();
    // The session may end while the question is open; then it has no answer.
    if (mayGo || endingSession)
        event->accept();
    else
        event->ignore();
}

void MainWindow::endSession()
{
    endingSession = true;
    // Each dialog returns from its own event loop; the callers see no answer.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            dialog->reject();
    }
    // Closed from the event loop, once the callers of those dialogs are done.
    QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::offerRecoveredRecords()
{
    for (const RecoveryJournal::Leftover &leftover : RecoveryJournal::leftovers()) {
        // Records in the window are not put aside for earlier ones.
        if (endingSession || downloadRunning() || hasRecords())
            return;
        if (!journal.adopt(leftover))
            continue; // another program took it meanwhile

        QMessageBox question(this);
        question.setIcon(QMessageBox::Question);
        question.setText(tr("Records from an earlier download were not saved."));
        const int size = int(qMin(leftover.size, qint64(std::numeric_limits<int>::max())));
        question.setInformativeText(
            tr("Downloaded on %1, %Ln bytes.", "%1 is the date and time of the download", size)
                .arg(QLocale().toString(leftover.lastWritten, QLocale::ShortFormat)));
        question.setStandardButtons(QMessageBox::Save | QMessageBox::Discard);
        QPushButton *later = question.addButton(tr("&Later"), QMessageBox::RejectRole);
        question.setDefaultButton(QMessageBox::Save);
        question.setEscapeButton(later);
        question.exec();

        const QAbstractButton *answer = question.clickedButton();
        if (answer && answer == question.button(QMessageBox::Save)) {
            recordsTime = leftover.lastWritten;
            takeRecords(journal.records());
            saveFile();
            // Not saved after all: the records wait in the window, as after a download.
            if (lastSavedFilePath.isEmpty())
                return;
        } else if (answer && answer == question.button(QMessageBox::Discard)) {
            journal.discard();
        } else {
            journal.release();
            return;
        }
    }
}

// Records that did not come from the line just now, shown and offered for
// saving as if they had.
void MainWindow::takeRecords(const QByteArray &records)
{
    ui.outputTextEdit->clear();
    downloadSession.adoptRecords(records);
    recordsTaken = downloadSession.bytesKept();
    lastSavedFilePath.clear();
    paneFeed.restart();
    paneLimit.restart();
    paneFeed.chunkKept(downloadSession.records(), 0);
    queuePaneUpdate();
    ui.openBtn->hide();
    ui.saveBtn->setVisible(downloadSession.hasData());
}

void MainWindow::openFile()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(lastSavedFilePath));
}

void MainWindow::saveFile()
{
    // Nobody is there to choose a file; the records stay in their journal.
    if (endingSession)
        return;
    // Blocks that are kept are never written to again, so these copies stay
    // as they are whatever arrives meanwhile.
    QList<QByteArray> blocks = downloadSession.records().blocks();

    const QString csvFilter = tr("Comma Separated Value files (*.csv)");
    const QString filter = QStringLiteral("%1;;%2;;%3")
                               .arg(csvFilter, tr("Text files (*.txt)"), tr("All files (*.*)"));
    const QString proposedName =
        tr("Records %1.csv", "Proposed file name; %1 is the date and time of the download")
            .arg((recordsTime.isValid() ? recordsTime : QDateTime::currentDateTime())
                     .toString(QStringLiteral("yyyy-MM-dd HH-mm")));
    const QString startPath = saveDialogStartPath(
        QSettings().value(SettingsKeys::deviceLastSavedFilePath).toString(), proposedName);
    QString selectedFilter = csvFilter;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save downloaded data to file"),
                                                      startPath, filter, &selectedFilter);
    if (path.isEmpty())
        return;

    const bool csv =
        QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    if (csv && QLocale().language() == QLocale::German) {
        const QVariant stored = QSettings().value(SettingsKeys::convertData);
        bool convert;
        if (stored.isNull()) {
            QMessageBox question(this);
            question.setText(tr("Would you like to convert the data to German format?"));
            question.setInformativeText(
                tr("Decimal points will be replaced by commas and the commas "
                   "separating fields will be replaced by semi-colons."));
            question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            question.setIcon(QMessageBox::Question);
            convert = question.exec() == QMessageBox::Yes;
        } else {
            convert = stored.toBool();
        }
        if (convert) {
            for (QByteArray &block : blocks)
                block = toGermanCsv(std::move(block));
        }
        QSettings().setValue(SettingsKeys::convertData, convert);
    }

    const RecordFileResult result = writeRecordFile(path, blocks);
    if (!result.saved) {
        QMessageBox box(this);
        box.setIcon(QMessageBox::Warning);
        box.setText(tr("Error opening \"%1\" for writing. Is it open already or read only?",
                       "The %1 will be replaced with the a file name. Please do not remove it in "
                       "your translation!")
                        .arg(path));
        box.setInformativeText(result.reason);
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return;
    }

    lastSavedFilePath = path;
    if (!downloadRunning())
        journal.discard();
    ui.openBtn->show();
    ui.statusBar->showMessage(tr("File successfully saved"), 3000);
    QSettings().setValue(SettingsKeys::deviceLastSavedFilePath, path);
}

void MainWindow::showAbout()
{
    const QString body = tr("Corvane Velmora\n\n %1\n",
                            "The %1 is replaced with the version number so please don't remove it!")
                             .arg(QCoreApplication::applicationVersion());
    const QString title = tr("About Corvane Velmora", "Title of the About box");
    QMessageBox::about(this, title, body);
}

// The guide of the interface language, else the English one; without
// either the user is told where they were looked for.
void MainWindow::showHelp()
{
    const QString languageCode = QLocale().name().left(2);
    const QStringList candidates =
        helpFileCandidates(QCoreApplication::applicationDirPath(), languageCode);
    for (const QString &path : candidates) {
        if (QFileInfo(path).isFile()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
            return;
        }
    }

    QStringList shown;
    for (const QString &path : candidates)
        shown << QDir::toNativeSeparators(path);
    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("No help file was found."));
    box.setInformativeText(tr("Looked for:") + QLatin1Char('\n') + shown.join(QLatin1Char('\n')));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void MainWindow::convertDataToggled(bool checked)
{
    QSettings().setValue(SettingsKeys::convertData, checked);
}
