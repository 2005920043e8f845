#include "mainwindow.h"

#include "connectionfailureadvice.h"
#include "dialoglanguage.h"
#include "languagesettings.h"
#include "openfailure.h"
#include "portenumerator.h"
#include "resourcebundle.h"
#include "serialportsettings.h"
#include "settingskeys.h"
#include "winserialdeviceasync.h"

#include <QAbstractAnimation>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QSaveFile>
#include <QSettings>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>

namespace {

// Lets a technician with several adapters tell the entries apart.
QString portToolTip(const PortInfo &port)
{
    QString tip = port.friendlyName.isEmpty() ? port.portName : port.friendlyName;
    if (port.vendorId != 0 || port.productId != 0) {
        const QString ids = QStringLiteral("%1:%2")
                                .arg(port.vendorId, 4, 16, QLatin1Char('0'))
                                .arg(port.productId, 4, 16, QLatin1Char('0'));
        tip += QLatin1Char('\n');
        if (!port.enumeratorName.isEmpty())
            tip += port.enumeratorName + QLatin1Char(' ');
        tip += ids;
    }
    return tip;
}

QString receivedBytesText(qint64 count)
{
    return QCoreApplication::translate("MainWindow", "%1 bytes received",
                                       "Counter beside the busy indicator during a download")
        .arg(QLocale().toString(count));
}

// A tester may pause between blocks, and a busy machine may hold bytes back
// for a while; a transfer is over only after this long without a byte.
constexpr int quietTimeMs = 1000;
// A display line is broken after this many characters without a break of its
// own, and the pane keeps about this many characters of the newest records.
constexpr qsizetype paneLineLimit = 1024;
constexpr qsizetype paneCharacterLimit = 2 * 1024 * 1024;

} // namespace

MainWindow::MainWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , paneFeed(paneLineLimit)
    , paneLimit(paneCharacterLimit)
    , quietLine(quietTimeMs, int(Cv::WinSerialDeviceAsync::readTimeoutMs))
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

    // The language dialog and the conversion toggle stay out of reach: the Tools
    // menu (second menu, depth first) keeps only its first entry.
    const QList<QMenu *> menus = ui.menuBar->findChildren<QMenu *>();
    if (menus.size() > 1) {
        const QList<QAction *> toolsEntries = menus.at(1)->actions();
        for (const qsizetype i : {1, 2}) {
            if (i < toolsEntries.size())
                toolsEntries.at(i)->setVisible(false);
        }
    }

    progressBar = new QProgressBar;
    progressBar->setValue(0);
    progressBar->setMaximum(0);
    progressBar->setMaximumHeight(15);
    progressBar->setMaximumWidth(100);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #CCCCCC; border-radius: 3px; } "
                       "QProgressBar::chunk:horizontal { background: qlineargradient(x1: 0, y1: "
                       "0.5, x2: 1, y2: 0.5, stop: 0 orange, stop: 1 white); }"));

    busyStep.setInterval(100);
    connect(&busyStep, &QTimer::timeout, this, &MainWindow::stepBusyIndicator);

    byteCounter = new QLabel;

    ui.statusBar->setStyleSheet(
        QStringLiteral("QStatusBar { background-color: #FFFFFF; border-top: 1px solid gray; }"));
    ui.statusBar->setMinimumHeight(30);

    {
        QSettings settings;
        restoreGeometry(settings.value(SettingsKeys::mainWindowGeometry).toByteArray());
        restoreState(settings.value(SettingsKeys::mainWindowState).toByteArray(), 0);
    }

    refreshPorts();

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

    ui.statusBar->showMessage(tr("Please select a port and connect your device"));
}

MainWindow::~MainWindow()
{
    {
        QSettings settings;
        settings.setValue(SettingsKeys::mainWindowGeometry, saveGeometry());
        settings.setValue(SettingsKeys::mainWindowState, saveState(0));
        settings.setValue(SettingsKeys::devicePortName, ui.comPorts->currentText());
    }
    delete progressBar;
    delete byteCounter;
}

// The style animates the busy indicator at its own frame rate, which wakes the
// program some sixty times a second for as long as a download waits, possibly
// hours. Its animation is held and moved on here a few times a second instead,
// at the same speed.
void MainWindow::stepBusyIndicator()
{
    auto *animation = progressBar->findChild<QAbstractAnimation *>();
    if (!animation)
        return;
    if (animation->state() == QAbstractAnimation::Running)
        animation->pause();
    if (animation->state() == QAbstractAnimation::Paused)
        animation->setCurrentTime(animation->currentTime() + busyStep.interval());
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
        close();
    }
}

// The selection always returns to the port stored at the last exit, not to
// the one chosen since: only the destructor writes the stored port.
void MainWindow::refreshPorts()
{
    ui.comPorts->clear();

    QList<PortInfo> ports;
    enumeratePorts(ports);

    const QString storedPort = QSettings().value(SettingsKeys::devicePortName).toString();
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const PortInfo &port = ports.at(i);
        ui.comPorts->addItem(port.portName, port.openName);
        ui.comPorts->setItemData(int(i), portToolTip(port), Qt::ToolTipRole);
        if (port.portName == storedPort)
            ui.comPorts->setCurrentIndex(int(i));
    }
}

void MainWindow::download()
{
    ui.downloadBtn->hide();
    ui.cancelBtn->show();
    ui.openBtn->hide();
    ui.saveBtn->hide();
    ui.actionRefreshPorts->setEnabled(false);
    ui.actionChangeLanguage->setEnabled(false);
    ui.comPorts->setEnabled(false);

    ui.statusBar->showMessage(tr("Now initiate the download on the tester"));
    byteCounter->setText(receivedBytesText(0));
    ui.statusBar->addPermanentWidget(byteCounter, 0);
    byteCounter->show();
    ui.statusBar->addPermanentWidget(progressBar, 0);
    progressBar->show();
    busyStep.start();

    const QString portName = ui.comPorts->itemData(ui.comPorts->currentIndex()).toString();
    serialPort = new Cv::WinSerialDeviceAsync(this, portName);

    auto *settings = new Cv::SerialPortSettings;
    settings->setBaudRate(9600);
    settings->setByteSize(8);
    settings->setStopBits(ONESTOPBIT);
    settings->setFBinary(1);
    settings->setFParity(0);
    settings->setParity(NOPARITY);
    settings->setFOutxDsrFlow(0);
    settings->setFDsrSensitivity(0);
    settings->setFDtrControl(DTR_CONTROL_ENABLE);
    settings->setFOutxCtsFlow(0);
    settings->setFRtsControl(RTS_CONTROL_ENABLE);
    settings->setFOutX(0);
    settings->setFInX(0);
    settings->setXonChar(0x11);
    settings->setXoffChar(0x13);
    settings->setEvtChar(0);
    settings->setXonLim(100);
    settings->setXoffLim(100);
    settings->setFTXContinueOnXoff(1);
    settings->setFErrorChar(0);
    settings->setFNull(0);
    settings->setFAbortOnError(0);
    serialPort->setSettings(settings);

    ui.outputTextEdit->clear();
    dataReceived = false;
    receivedData.clear();
    paneFeed.restart();
    paneLimit.restart();
    quietLine.bytesArrived();

    if (serialPort->open(QIODevice::ReadWrite)) {
        connect(serialPort, &QIODevice::readyRead, this, &MainWindow::readyRead);
        connect(serialPort, &Cv::WinSerialDeviceAsync::readTimeOut, this, &MainWindow::readTimeOut);
        connect(serialPort, &QIODevice::readChannelFinished, this, &MainWindow::connectionLost);
        serialPort->write("SYST:REM\r\n");
        serialPort->write("MEM:DATA? ALL\r\n");
        return;
    }

    const Cv::OpenFailure failure = Cv::describeOpenFailure(portName, serialPort->lastErrorCode(),
                                                            serialPort->lastSystemError());
    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("Failed to connect. Please check the device is connected and switched on"));
    box.setInformativeText(connectionFailureAdvice(failure, ui.comPorts->currentText()));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    cancelDownload();
}

void MainWindow::readyRead()
{
    if (!serialPort)
        return;

    // What waits now, not what keeps coming while it is read: readAll()
    // would chase a fast line and hold the thread for the whole transfer.
    // Bytes that come later are notified again. A backlog is taken in
    // pieces, one a turn, so that no turn copies megabytes.
    constexpr qint64 maxTake = 256 * 1024;
    const qint64 waiting = serialPort->bytesAvailable();
    if (waiting > maxTake)
        QMetaObject::invokeMethod(this, &MainWindow::readyRead, Qt::QueuedConnection);
    const QByteArray chunk = serialPort->read(qMin(waiting, maxTake));
    if (!chunk.isEmpty())
        dataReceived = true;
    // Each notification stands for a read that brought bytes, in the order
    // of the reads, even when an earlier one took them already.
    quietLine.bytesArrived();

    ui.statusBar->showMessage(tr("Downloading..."));
    // A notification whose bytes an earlier piece took already.
    if (chunk.isEmpty())
        return;

    // The pane shows the text up to a zero byte, as the tester's records are
    // text; the raw bytes, zeros included, are kept for the file.
    const qsizetype start = receivedData.size();
    receivedData.append(chunk);
    paneFeed.chunkKept(receivedData, start);
    byteCounter->setText(receivedBytesText(receivedData.size()));

    queuePaneUpdate();
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
    // Always at the end of the text: the user may have clicked or selected
    // something in the pane, and the records must not land there.
    QPlainTextEdit *pane = ui.outputTextEdit;
    const bool following = !pane->textCursor().hasSelection();
    QTextCursor end(pane->document());
    end.movePosition(QTextCursor::End);
    QElapsedTimer clock;
    clock.start();
    constexpr qsizetype slice = 16384;
    while (paneBehind()) {
        const QString text = paneFeed.take(receivedData, slice);
        if (!text.isEmpty())
            end.insertText(text);
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs)
            break;
    }
    paneLimit.apply(pane->document(),
                    tr("Earlier records are no longer shown here; they are all kept and saved "
                       "to the file."));
    // A selection is kept, and so is the view on it, until the user lets go.
    if (following) {
        pane->moveCursor(QTextCursor::End);
        pane->ensureCursorVisible();
    }
}

void MainWindow::readTimeOut()
{
    if (!serialPort || !dataReceived)
        return;
    if (!quietLine.readTimedOut())
        return;
    // The pane is still catching up with a fast line; the transfer ends at
    // the next quiet read after it has.
    if (paneBehind())
        return;

    cancelDownload();
    QCoreApplication::processEvents();
    saveFile();
}

// The adapter was pulled out or the tester switched off: what arrived is
// kept and offered, but not as if the transfer had come to its end.
void MainWindow::connectionLost()
{
    if (!serialPort)
        return;
    while (serialPort->bytesAvailable() > 0)
        readyRead();
    cancelDownload();

    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("The connection to the tester was lost."));
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
    if (!serialPort)
        return;

    // What the pane has still to show follows in its own turns, as during
    // the download: all at once, a long backlog would freeze the window.
    ui.downloadBtn->show();
    ui.cancelBtn->hide();
    ui.openBtn->setVisible(!receivedData.isEmpty());
    ui.saveBtn->setVisible(dataReceived);
    ui.actionRefreshPorts->setEnabled(true);
    ui.actionChangeLanguage->setEnabled(true);
    ui.comPorts->setEnabled(true);
    ui.statusBar->clearMessage();
    ui.statusBar->removeWidget(progressBar);
    busyStep.stop();
    ui.statusBar->removeWidget(byteCounter);

    // This may run inside the device's own notification, so the device goes
    // only when control is back in the event loop; nothing it still has
    // queued reaches the window after this point.
    serialPort->close();
    disconnect(serialPort, nullptr, this, nullptr);
    serialPort->deleteLater();
    serialPort = nullptr;
}

void MainWindow::openFile()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(lastSavedFilePath));
}

void MainWindow::saveFile()
{
    QByteArray data = receivedData;

    const QString csvFilter = tr("Comma Separated Value files (*.csv)");
    const QString filter = QStringLiteral("%1;;%2;;%3")
                               .arg(csvFilter, tr("Text files (*.txt)"), tr("All files (*.*)"));
    const QString startPath = QSettings().value(SettingsKeys::deviceLastSavedFilePath).toString();
    QString selectedFilter = csvFilter;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save downloaded data to file"),
                                                      startPath, filter, &selectedFilter);
    lastSavedFilePath = path;
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
            // Commas first: the decimal commas made next must stay commas.
            data.replace(',', ';');
            data.replace('.', ',');
        }
        QSettings().setValue(SettingsKeys::convertData, convert);
    }

    // The chosen file is replaced only once every byte is on the disk, so a
    // failed save never leaves a good file truncated.
    QSaveFile file(path);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved && file.write(data) != data.size())
        saved = false;
    if (saved)
        saved = file.commit();
    else
        file.cancelWriting();

    if (!saved) {
        QMessageBox box(this);
        box.setIcon(QMessageBox::Warning);
        box.setText(tr("Error opening \"%1\" for writing. Is it open already or read only?",
                       "The %1 will be replaced with the a file name. Please do not remove it in "
                       "your translation!")
                        .arg(path));
        box.setInformativeText(file.errorString());
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return;
    }

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

void MainWindow::showHelp()
{
    const QString languageCode = QLocale().name().left(2);
    // One arg() call: a '%' in the folder name must not be taken for a placeholder.
    const QString path = QStringLiteral("%1/Help/Corvane_VelmoraHelp_%2.html")
                             .arg(QCoreApplication::applicationDirPath(), languageCode);
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MainWindow::convertDataToggled(bool checked)
{
    QSettings().setValue(SettingsKeys::convertData, checked);
}
