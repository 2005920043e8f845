// velmora-download as a script runs it, inside the virtual tester's test bed
// (under Wine: on the tester's line as COM5). Each ctest run is one bed
// (CV_DL_BED) and takes the cases made for it.
#include "interrupt.h"
#include "readerprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString bed()
{
    return qEnvironmentVariable("CV_DL_BED");
}

// The tester's adapter: ttyUSB0 in its Linux bed, a COM port under Wine.
QString portName()
{
    return qEnvironmentVariable("CV_DL_PORT", QStringLiteral("ttyUSB0"));
}

// The command, with what it writes, as it runs.
struct Command
{
    QProcess process;
    QByteArray out;
    QByteArray err;

    Command(const QString &folder, const QStringList &arguments)
    {
        process.setWorkingDirectory(folder);
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += process.readAllStandardOutput(); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += process.readAllStandardError(); });
        process.start(QStringLiteral(CV_DOWNLOAD_COMMAND), arguments);
    }
    bool ended() const { return process.state() == QProcess::NotRunning; }
    QString messages() const { return QString::fromLocal8Bit(err); }
};

// What the command must have written (to the file, else to standard output).
enum Output { None, Records, German, Prefix, Listing };

} // namespace

class TestVelmoraDownload : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void interruptedMidTransfer();
};

void TestVelmoraDownload::runs_data()
{
    QTest::addColumn<QString>("bed");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<bool>("portHeld");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("output");
    QTest::addColumn<QString>("said");

    const QString port = portName();
    const QString answering = QStringLiteral("answering");
    QTest::newRow("to a file") << answering << QStringList{"--port", port} << true << false << 0
                               << int(Records) << "The transfer is complete";
    QTest::newRow("to standard output")
        << answering << QStringList{} << false << false << 0 << int(Records)
        << "Now initiate the download on the tester";
    QTest::newRow("German CSV") << answering << QStringList{"--german-csv", "--quiet"} << true
                                << false << 0 << int(German) << "";
    QTest::newRow("list") << answering << QStringList{"--list"} << false << false << 0
                          << int(Listing) << "";
    QTest::newRow("unknown option") << answering << QStringList{"--bogus"} << true << false << 1
                                    << int(None) << "Unknown option 'bogus'";
    QTest::newRow("port held by another program")
        << QStringLiteral("held") << QStringList{} << true << true << 2 << int(None)
        << "ttyUSB0 is in use by cat (process %1)";
    QTest::newRow("adapter pulled out")
        << QStringLiteral("pulled") << QStringList{} << true << false << 3 << int(Prefix)
        << "The connection to the tester was lost. The records received so far may be "
           "incomplete";
    QTest::newRow("silent tester") << QStringLiteral("silent") << QStringList{"--wait", "2"} << true
                                   << false << 4 << int(None) << "Nothing arrived within 2 s";
    QTest::newRow("Windows: to a file")
        << QStringLiteral("wine") << QStringList{"--port", port} << true << false << 0
        << int(Records) << "The transfer is complete";
    QTest::newRow("Windows: version") << QStringLiteral("wine") << QStringList{"--version"} << false
                                      << false << 0 << int(None) << "";
}

void TestVelmoraDownload::runs()
{
    QFETCH(QString, bed);
    QFETCH(QStringList, arguments);
    QFETCH(bool, toFile);
    QFETCH(bool, portHeld);
    QFETCH(int, status);
    QFETCH(int, output);
    QFETCH(QString, said);
    if (bed != ::bed())
        QSKIP("a case of another bed");

    const QByteArray records = fileBytes(qEnvironmentVariable("CV_DL_RECORDS"));
    QVERIFY(!records.isEmpty());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("records.csv"));
    if (toFile)
        arguments << QStringLiteral("--output") << path;

    std::unique_ptr<ReaderProcess> holder;
    if (portHeld) {
        holder = std::make_unique<ReaderProcess>(QStringLiteral("/dev/") + portName());
        QVERIFY(holder->pid() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(holder->hasOpened(), 60000);
        said = said.arg(holder->pid());
    }

    QElapsedTimer clock;
    clock.start();
    Command command(dir.path(), arguments);
    QTRY_VERIFY_WITH_TIMEOUT(command.ended(), 120000);
    const qint64 took = clock.elapsed();
    qInfo("%s: status %d after %lld ms, %lld bytes out\n%s", qPrintable(arguments.join(' ')),
          command.process.exitCode(), took, qint64(command.out.size()),
          qPrintable(command.messages()));
    QCOMPARE(command.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(command.process.exitCode(), status);
    QVERIFY2(command.messages().contains(said), qPrintable(command.messages()));

    const QByteArray written = toFile ? fileBytes(path) : command.out;
    QCOMPARE(QFileInfo::exists(path), toFile && output != None);
    switch (output) {
    case None:
        if (arguments.contains(QStringLiteral("--version")))
            QVERIFY2(command.out.startsWith("velmora-download " CV_VERSION), command.out);
        else
            QVERIFY(written.isEmpty());
        break;
    case Records:
        QCOMPARE(written.size(), records.size());
        QVERIFY(written == records);
        break;
    case German: {
        QByteArray german = records;
        german.replace(',', ';').replace('.', ',');
        QVERIFY(written == german);
        break;
    }
    case Prefix:
        QVERIFY(!written.isEmpty());
        QVERIFY(written.size() < records.size());
        QVERIFY(records.startsWith(written));
        break;
    case Listing:
        QVERIFY2(written.startsWith(portName().toLocal8Bit() + '\t'), written);
        QVERIFY2(written.contains("USB 1209:0001\n"), written);
        break;
    }
    if (bed == QLatin1String("silent")) {
        // The two seconds, and well before the tester would have answered.
        QVERIFY2(took >= 2000 && took < 60000, qPrintable(QString::number(took)));
    }
}

// Ctrl+C in the middle of a paced transfer: nothing written, the port free.
void TestVelmoraDownload::interruptedMidTransfer()
{
    if (::bed() != QLatin1String("paced"))
        QSKIP("a case of another bed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("records.csv"));
    Command command(dir.path(), {QStringLiteral("--output"), path});
    QTRY_VERIFY_WITH_TIMEOUT(command.messages().contains(QLatin1String("bytes received")), 120000);
    QVERIFY(!command.ended());
    QVERIFY(interruptProcess(command.process.processId()));
    QTRY_VERIFY_WITH_TIMEOUT(command.ended(), 60000);
    qInfo("%s", qPrintable(command.messages()));
    QCOMPARE(command.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(command.process.exitCode(), 130);
    QVERIFY(command.messages().contains(QLatin1String("Interrupted: nothing was written")));
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList());

    // Released: no lock left, and the next download opens the port (and
    // gets the rest of the transfer, or nothing).
    QVERIFY(!QFileInfo::exists(qEnvironmentVariable("CV_LOCK_DIR") + QStringLiteral("/LCK..") +
                               portName()));
    Command next(dir.path(), {QStringLiteral("--wait"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(next.ended(), 120000);
    QVERIFY2(next.process.exitCode() == 0 || next.process.exitCode() == 4,
             qPrintable(next.messages()));
}

QTEST_GUILESS_MAIN(TestVelmoraDownload)
#include "tst_velmoradownload.moc"
