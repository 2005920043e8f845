#pragma once

#include "ui_mainwindow.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace Cv {
class WinSerialDeviceAsync;
} // namespace Cv

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~MainWindow() override;

private:
    Ui::MainWindow ui;

public:
    // Set by changeLanguage() just before it closes the window; start-up reads
    // it after the event loop to decide whether to run another cycle.
    bool restartRequested = false;

private:
    Cv::WinSerialDeviceAsync *serialPort = nullptr;
    bool dataReceived = false;
    QByteArray receivedData;
    QProgressBar *progressBar = nullptr; // owned; lives in the status bar only while downloading
    QString lastSavedFilePath;
    QLabel *byteCounter = nullptr; // owned; beside progressBar during a download
    // Text of the chunks kept but not yet in the pane (Latin-1, carriage
    // returns removed), and how much of it the pane already shows.
    QByteArray pendingText;
    qsizetype pendingShown = 0;
    bool paneUpdateQueued = false;
    QTimer busyStep;

    void queuePaneUpdate();
    void showPendingText(qint64 budgetMs);
    void stepBusyIndicator();

private slots:
    void changeLanguage();
    void refreshPorts();
    void download();
    void cancelDownload();
    void readyRead();
    void readTimeOut();
    void openFile();
    void saveFile();
    void showAbout();
    void showHelp();
    void convertDataToggled(bool checked);
};
