#pragma once

#include "ui_mainwindow.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>

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
