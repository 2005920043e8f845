#pragma once

#include "downloadsession.h"
#include "panefeed.h"
#include "panelimit.h"
#include "portinfo.h"
#include "recoveryjournal.h"
#include "ui_mainwindow.h"

#include <QByteArray>
#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace Cv {
class PortWatcher;
} // namespace Cv

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~MainWindow() override;

    // Offers, one after the other, the records of downloads that an earlier
    // run did not live to save. Start-up calls it once the window is shown.
    void offerRecoveredRecords();
    // The system ends the program (a termination signal, the end of the
    // session): nobody is there to answer, so the window closes without a
    // question, and a question already open goes unanswered. Records not
    // saved stay in their recovery journal for the next start.
    void endSession();

    // The download the window shows: running or not, and its records.
    const DownloadSession &session() const { return downloadSession; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::MainWindow ui;

public:
    // Set by changeLanguage() just before it closes the window; start-up reads
    // it after the event loop to decide whether to run another cycle.
    bool restartRequested = false;

private:
    // The records the window shows and saves are the session's, of the
    // current or last download.
    DownloadSession downloadSession;
    // How far into the session's records the window has taken them.
    qint64 recordsTaken = 0;
    // When the records on screen were downloaded, for the proposed file name.
    QDateTime recordsTime;
    QProgressBar *progressBar = nullptr; // owned; lives in the status bar only while downloading
    // The file the records on screen were saved to; empty until they are.
    QString lastSavedFilePath;
    QLabel *byteCounter = nullptr; // owned; beside progressBar during a download
    // The pane reads its text from the session's records rather than from a
    // copy, so a pane that lags behind a fast line costs no memory of its own.
    PaneFeed paneFeed;
    PaneLimit paneLimit;
    bool paneUpdateQueued = false;
    QTimer busyStep;
    Cv::PortWatcher *portWatcher = nullptr; // a child
    bool portsChangedDuringDownload = false;
    // The records on screen, on the disk, until they are saved or let go.
    RecoveryJournal journal;
    bool endingSession = false;

    bool paneBehind() const { return paneFeed.behind(downloadSession.records()); }
    bool downloadRunning() const { return downloadSession.isRunning(); }
    bool hasRecords() const { return !downloadSession.records().isEmpty(); }
    void showIdle();
    void connectionLost();
    void queuePaneUpdate();
    void showPendingText(qint64 budgetMs);
    void stepBusyIndicator();
    void stopEndlessDownload();
    bool mayDropRecords();
    void storeSettings();
    void takeRecords(const QByteArray &records);
    void followPorts(const QStringList &gone);
    void showPorts(const QList<PortInfo> &ports);
    void showPortHint();

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
