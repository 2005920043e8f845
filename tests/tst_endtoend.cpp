// Run inside the virtual tester's test bed: the real window finds the USB
// adapter, sends the commands, receives the records and saves them.
#include "mainwindow.h"
#include "modalanswers.h"
#include "modalguard.h"
#include "readerprocess.h"
#include "settingskeys.h"
#include "testfiles.h"
#include "windowchild.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void downloadFromTheVirtualTester();
    void refusedWhileAnotherProgramReads();
};

void TestEndToEnd::initTestCase()
{
    // The system's own save dialog (Windows) cannot be answered from here.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestEndToEnd::downloadFromTheVirtualTester()
{
    if (qEnvironmentVariableIsSet("CV_E2E_HELD"))
        QSKIP("this run has another program on the port");
    const QByteArray records = fileBytes(qEnvironmentVariable("CV_E2E_RECORDS"));
    QVERIFY(!records.isEmpty());
    const bool pulledOut = qEnvironmentVariableIsSet("CV_E2E_PULLED_OUT");
    // The adapter is plugged in after the start and pulled out once idle.
    const bool hotPlug = qEnvironmentVariableIsSet("CV_E2E_HOT_PLUG");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("records.csv"));
    QSettings().clear();
    const ModalGuard guard({QStringLiteral("The connection to the tester was lost.")});

    MainWindow window;
    window.show();
    auto *ports = child<QComboBox>(window, "comPorts");
    // The tester's adapter: ttyUSB0 in its Linux test bed, a COM port under Wine.
    const QString port = qEnvironmentVariable("CV_E2E_PORT", QStringLiteral("ttyUSB0"));
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (hotPlug) {
        QCOMPARE(ports->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 1, 60000);
        qInfo("the adapter came into the list %lld ms after the window", sinceStart.elapsed());
        QCOMPARE(window.statusBar()->currentMessage(),
                 "Please select a port and connect your device");
    }
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->currentText(), port);
    QCOMPARE(ports->currentData().toString(),
             qEnvironmentVariable("CV_E2E_OPEN_NAME", QStringLiteral("/dev/") + port));
    QVERIFY2(ports->itemData(0, Qt::ToolTipRole).toString().contains(QLatin1String("1209:0001")),
             qPrintable(ports->itemData(0, Qt::ToolTipRole).toString()));

    // The save dialog comes by itself when the line falls quiet; after a
    // pull-out, once the window has said the connection was lost.
    bool dialogShown = false;
    QStringList boxes;
    QPointer<QWidget> answered;
    QElapsedTimer sinceAnswer;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->close();
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        // A dialog still up a while after its answer did not take it (busy
        // reading its folder on a loaded machine): answer it again.
        if (!dialog || (dialog == answered.data() && sinceAnswer.elapsed() < 500))
            return;
        answered = dialog;
        sinceAnswer.start();
        dialogShown = true;
        chooseFile(dialog, path);
    });
    answer.start(20);

    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(window, "downloadBtn")->click();
    QVERIFY(child<QPushButton>(window, "cancelBtn")->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), 120000);
    QVERIFY(dialogShown);
    const QByteArray saved = fileBytes(path);
    qInfo("%lld of %lld bytes saved after %lld ms", qint64(saved.size()), qint64(records.size()),
          clock.elapsed());
    if (pulledOut) {
        QCOMPARE(boxes, QStringList("The connection to the tester was lost."));
        QVERIFY(!saved.isEmpty());
        QVERIFY(saved.size() < records.size());
        QVERIFY(records.startsWith(saved));
    } else {
        QVERIFY(boxes.isEmpty());
        QCOMPARE(saved.size(), records.size());
        QVERIFY(saved == records);
    }
    QString shown = QString::fromLatin1(saved);
    shown.remove(QLatin1Char('\r'));
    QCOMPARE(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText(), shown);
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
    if (!hotPlug) {
        QCOMPARE(window.statusBar()->currentMessage(), "File successfully saved");
        return;
    }
    // The tester pulls the adapter out a while after its answer.
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 0, 60000);
    QVERIFY2(window.statusBar()->currentMessage().startsWith("No serial port found"),
             qPrintable(window.statusBar()->currentMessage()));
    qInfo("the adapter left the list %lld ms after the window", sinceStart.elapsed());
}

// A plain reader on the adapter, opened without a lock before the window
// tries: the window refuses the port and names the reader.
void TestEndToEnd::refusedWhileAnotherProgramReads()
{
    if (!qEnvironmentVariableIsSet("CV_E2E_HELD"))
        QSKIP("only with another program on the port");
    QSettings().clear();
    MainWindow window;
    window.show();
    auto *ports = child<QComboBox>(window, "comPorts");
    QCOMPARE(ports->currentText(), "ttyUSB0");
    // The bed's node is a link to the pty behind it.
    const QString device = QFile::symLinkTarget(ports->currentData().toString());
    QVERIFY(!device.isEmpty());

    ReaderProcess cat(ports->currentData().toString());
    const qint64 reader = cat.pid();
    QVERIFY(reader > 0);
    QTRY_VERIFY_WITH_TIMEOUT(cat.hasOpened(), 60000);

    QStringList texts;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            texts << box->text() << box->informativeText();
            box->close();
        }
    });
    answer.start(20);
    child<QPushButton>(window, "downloadBtn")->click();
    cat.stop();

    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.at(0),
             "Failed to connect. Please check the device is connected and switched on");
    QVERIFY2(
        texts.at(1).startsWith(QStringLiteral("ttyUSB0 is in use by cat (process %1)").arg(reader)),
        qPrintable(texts.at(1)));
    qInfo("%s", qPrintable(texts.at(1)));
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisible());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
