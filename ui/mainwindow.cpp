#include "mainwindow.h"

#include "dialoglanguage.h"
#include "languagesettings.h"
#include "portenumerator.h"
#include "resourcebundle.h"
#include "settingskeys.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
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

} // namespace

MainWindow::MainWindow(QWidget *parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    initResourceBundle();

    ui.setupUi(this);

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
    // Built with the download.
}

void MainWindow::cancelDownload()
{
    // Built with the download.
}

void MainWindow::readyRead()
{
    // Built with the download.
}

void MainWindow::readTimeOut()
{
    // Built with the download.
}

void MainWindow::openFile()
{
    // Built with the download.
}

void MainWindow::saveFile()
{
    // Built with the download.
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
    // Built with the download.
    Q_UNUSED(checked);
}
