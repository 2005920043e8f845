// One download without a window, over a pseudo-terminal standing in for the
// port; and the plain classes it and the window's pane are made of.

#include "downloadsession.h"
#include "lockedport.h"
#include "panefeed.h"
#include "portchoice.h"
#include "ptypair.h"
#include "quietline.h"
#include "readerprocess.h"
#include "recordblocks.h"
#include "winserialdeviceasync.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <QCryptographicHash>

#include <unistd.h>

namespace {

// The literal oracle: what the tester must see, spelled out once here.
const QByteArray commands = QByteArrayLiteral("SYST:REM\r\nMEM:DATA? ALL\r\n");

// Counts the empty reads of the session's device, delivered in this thread
// like the session's own.
class QuietReads
{
public:
    explicit QuietReads(const DownloadSession &session)
    {
        if (auto *device = session.findChild<Cv::WinSerialDeviceAsync *>())
            connection = QObject::connect(device, &Cv::WinSerialDeviceAsync::readTimeOut, &context,
                                          [this] { ++count; });
    }
    bool isValid() const { return bool(connection); }
    int count = 0;

private:
    QObject context;
    QMetaObject::Connection connection;
};

bool deviceGone(const DownloadSession &session)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !session.isRunning() && session.findChildren<Cv::WinSerialDeviceAsync *>().isEmpty();
}

using End = DownloadSession::End;

} // namespace

class TestDownloadSession : public QObject
{
    Q_OBJECT

private slots:
    void quietLine_data();
    void quietLine();
    void recordBlocksKeepEveryByteWithoutMovingThem();
    void paneFeed_data();
    void paneFeed();
    void portChoice_data();
    void portChoice();
    void quietTimeIsTheOneTheDocumentsGive_data();
    void quietTimeIsTheOneTheDocumentsGive();

    void commandsOutRecordsInQuietEnd();
    void everyByteValueKeptInOrder();
    void quietLineBeforeDataKeepsWaiting();
    void pauseWithinQuietTimeDoesNotEndTransfer();
    void lostConnection_data();
    void lostConnection();
    void cancelKeepsRecordsAndLeavesTheRestOnTheLine();
    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void sizeLimitStopsAnEndlessLine();
    void recordsHandedOnWithoutKeeping();
    void gateHoldsTheQuietEnd();
};

// Empty reads and the clock must both say quiet: 1000 ms at 50 ms reads is
// twenty empty reads.
void TestDownloadSession::quietLine_data()
{
    QTest::addColumn<int>("emptyReads");
    QTest::addColumn<int>("sleepMs");
    QTest::addColumn<bool>("quiet");
    QTest::newRow("too few reads, time enough") << 19 << 1100 << false;
    QTest::newRow("reads enough, too soon") << 20 << 0 << false;
    QTest::newRow("both") << 20 << 1100 << true;
}

void TestDownloadSession::quietLine()
{
    QFETCH(int, emptyReads);
    QFETCH(int, sleepMs);
    QFETCH(bool, quiet);
    QuietLine line(1000, 50);
    line.bytesArrived();
    QTest::qSleep(sleepMs);
    bool said = false;
    for (int i = 0; i < emptyReads; ++i)
        said = line.readTimedOut();
    QCOMPARE(said, quiet);
    // A byte starts the count again.
    line.bytesArrived();
    QVERIFY(!line.readTimedOut());
}

void TestDownloadSession::recordBlocksKeepEveryByteWithoutMovingThem()
{
    RecordBlocks blocks;
    QByteArray all;
    const char *firstBlockData = nullptr;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray chunk = QByteArray::number(i).repeated(1 + i % 300);
        blocks.append(chunk);
        all += chunk;
        // A full block stays where it is (once it gave back its spare room).
        if (i == 1000)
            firstBlockData = blocks.blocks().constFirst().constData();
        if (firstBlockData)
            QVERIFY(blocks.blocks().constFirst().constData() == firstBlockData);
    }
    QCOMPARE(blocks.size(), all.size());
    QCOMPARE(blocks.joined(), all);
    QVERIFY(blocks.blocks().size() > 1);
    QVERIFY2(blocks.blocks().size() < all.size() / 30000 + 5, "small chunks share blocks");
    QCOMPARE(blocks.mid(12345, 777), all.mid(12345, 777));
    // A block someone holds is not written to.
    const QList<QByteArray> held = blocks.blocks();
    blocks.append("tail");
    QCOMPARE(held.constLast(), blocks.blocks().at(held.size() - 1).left(held.constLast().size()));
    QCOMPARE(QByteArray(held.constLast().constData(), held.constLast().size()),
             all.right(held.constLast().size()));
}

void TestDownloadSession::paneFeed_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("lineLimit");
    QTest::addColumn<qint64>("skipTo"); // before the last chunk is taken; -1: none
    QTest::addColumn<QString>("shown");
    QTest::newRow("carriage returns dropped")
        << QList<QByteArray>{"a,b\r\n", "c,d\r\n"} << 100 << qint64(-1) << "a,b\nc,d\n";
    QTest::newRow("zero hides the rest of its chunk only")
        << QList<QByteArray>{QByteArray("ab\0zz\r\n", 7), "cd\r\n", QByteArray("\0x", 2), "ef"}
        << 100 << qint64(-1) << "abcd\nef";
    QTest::newRow("long line broken in the pane")
        << QList<QByteArray>{"abcdefg", "hij\r\nk"} << 4 << qint64(-1) << "abcd\nefgh\nij\nk";
    QTest::newRow("skip goes on at the next line")
        << QList<QByteArray>{"old\r\n", "aa\r\nbb\r\ncc\r\n"} << 100 << qint64(7)
        << "old\nbb\ncc\n";
    QTest::newRow("skip into a long line keeps its breaks")
        << QList<QByteArray>{"old\n", "abcdefgh\nyz"} << 4 << qint64(5) << "old\nefgh\nyz";
    QTest::newRow("skip into a line without end keeps its breaks")
        << QList<QByteArray>{"x\n", "ab\rcdefghij"} << 4 << qint64(3) << "x\nefgh\nij";
    QTest::newRow("skip onto a zero shows nothing of its chunk")
        << QList<QByteArray>{"a\n", QByteArray("bb\n\0zz\ncc", 9)} << 100 << qint64(3) << "a\n";
}

void TestDownloadSession::paneFeed()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, lineLimit);
    QFETCH(qint64, skipTo);
    QFETCH(QString, shown);
    RecordBlocks records;
    PaneFeed feed(lineLimit);
    QString text;
    for (const QByteArray &chunk : chunks) {
        const qint64 start = records.size();
        records.append(chunk);
        feed.chunkKept(records, start);
        if (skipTo >= 0 && &chunk == &chunks.constLast())
            feed.skipTo(records, skipTo);
        // Taken in slices smaller than a chunk.
        while (feed.behind(records))
            text += feed.take(records, 3);
    }
    QCOMPARE(text, shown);
}

void TestDownloadSession::portChoice_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("chosen");
    const QStringList ports{"COM1", "COM3", "COM7"};
    QTest::newRow("empty list") << QStringList() << "COM1"
                                << "COM1" << -1;
    QTest::newRow("current kept") << ports << "COM7"
                                  << "COM3" << 2;
    QTest::newRow("current gone: stored") << ports << "COM9"
                                          << "COM3" << 1;
    QTest::newRow("neither: first") << ports << "COM9"
                                    << "COM8" << 0;
    QTest::newRow("case counts") << ports << "com7"
                                 << "" << 0;
}

void TestDownloadSession::portChoice()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, current);
    QFETCH(QString, stored);
    QFETCH(int, chosen);
    QCOMPARE(choosePort(ports, current, stored), chosen);
}

// The help pages and the README tell the technician how long the line must
// be quiet; they must say what the session does.
void TestDownloadSession::quietTimeIsTheOneTheDocumentsGive_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("phrase");
    QVERIFY2(DownloadSession::quietTimeMs == 1000,
             "the quiet time changed: say so in the help pages and the README, then here");
    QTest::newRow("help, en") << "Help/Corvane_VelmoraHelp_en.html"
                              << "a whole second without a byte";
    QTest::newRow("help, de") << "Help/Corvane_VelmoraHelp_de.html"
                              << "eine ganze Sekunde ohne ein Byte";
    QTest::newRow("README") << "README.md"
                            << "quiet for a second";
}

void TestDownloadSession::quietTimeIsTheOneTheDocumentsGive()
{
    QFETCH(QString, file);
    QFETCH(QString, phrase);
    QFile document(qEnvironmentVariable("CV_SOURCE_DIR") + QLatin1Char('/') + file);
    QVERIFY2(document.open(QIODevice::ReadOnly), qPrintable(document.fileName()));
    const QString text = QString::fromUtf8(document.readAll()).simplified();
    QVERIFY2(text.contains(phrase), qPrintable(phrase));
}

void TestDownloadSession::commandsOutRecordsInQuietEnd()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QSignalSpy kept(&session, &DownloadSession::recordsKept);
    QSignalSpy quiet(&session, &DownloadSession::quietEnd);
    QSignalSpy ended(&session, &DownloadSession::ended);
    QVERIFY(session.start(pty.slavePath()));
    QVERIFY(session.isRunning());
    QVERIFY(!session.start(pty.slavePath()));

    // Exactly the two commands, and nothing after them.
    QCOMPARE(pty.read(commands.size()), commands);
    QCOMPARE(pty.drain(200), QByteArray());

    QElapsedTimer sinceLast;
    sinceLast.start();
    const QByteArray records("a,b\r\nc,d\r\n");
    QVERIFY(pty.write(records));
    QTRY_COMPARE_WITH_TIMEOUT(quiet.size(), 1, 10000);
    QVERIFY2(sinceLast.elapsed() >= session.quietTime(), "a whole quiet time, not one read");
    QCOMPARE(session.records().joined(), records);
    QCOMPARE(session.bytesKept(), records.size());
    QVERIFY(session.hasData());
    QCOMPARE(kept.first().at(0).toLongLong(), 0);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().at(0).value<End>(), End::Quiet);
    QCOMPARE(session.endReason(), End::Quiet);
    QVERIFY(deviceGone(session));
    // Nothing more is said, and no more is read.
    QVERIFY(pty.write("late\r\n"));
    QCOMPARE(pty.readAtPort(6), QByteArray("late\r\n"));
    QCoreApplication::processEvents();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(session.records().joined(), records);
}

void TestDownloadSession::everyByteValueKeptInOrder()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QSignalSpy quiet(&session, &DownloadSession::quietEnd);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);

    // Every byte value, in an order that is not a simple cycle, so that a
    // lost, doubled or swapped chunk shows.
    QByteArray records(400 * 1024, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &byte : records) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 23);
    }
    for (int value = 0; value < 256; ++value)
        records[value] = char(value);
    QVERIFY(pty.write(records, 60000));
    QTRY_COMPARE_WITH_TIMEOUT(quiet.size(), 1, 60000);
    QCOMPARE(QCryptographicHash::hash(session.records().joined(), QCryptographicHash::Sha256),
             QCryptographicHash::hash(records, QCryptographicHash::Sha256));
}

void TestDownloadSession::quietLineBeforeDataKeepsWaiting()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QSignalSpy ended(&session, &DownloadSession::ended);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);

    // More empty reads than end a transfer once bytes came.
    QuietReads quiet(session);
    QVERIFY(quiet.isValid());
    QTRY_VERIFY_WITH_TIMEOUT(quiet.count > 20, 20000);
    QVERIFY(session.isRunning());
    QCOMPARE(ended.size(), 0);

    session.cancel();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().at(0).value<End>(), End::Cancelled);
    QVERIFY(!session.hasData());
    QVERIFY(deviceGone(session));
}

void TestDownloadSession::pauseWithinQuietTimeDoesNotEndTransfer()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QSignalSpy quietEnd(&session, &DownloadSession::quietEnd);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);
    QuietReads quiet(session);
    QVERIFY(quiet.isValid());

    // Blocks with pauses of eight read time-outs each: together more than the
    // twenty of a quiet line, each well under them, however slow the machine
    // makes the reads. Every byte starts the count again.
    QByteArray sent;
    QElapsedTimer sinceLast;
    for (int block = 0; block < 3; ++block) {
        const QByteArray records = "block " + QByteArray::number(block) + "\r\n";
        QVERIFY(pty.write(records));
        sent += records;
        sinceLast.start();
        QTRY_COMPARE_WITH_TIMEOUT(session.bytesKept(), sent.size(), 10000);
        const int before = quiet.count;
        QTRY_VERIFY_WITH_TIMEOUT(quiet.count >= before + 8, 10000);
        QVERIFY2(quietEnd.isEmpty(), "the transfer ended within a pause");
    }
    QTRY_COMPARE_WITH_TIMEOUT(quietEnd.size(), 1, 10000);
    QVERIFY2(sinceLast.elapsed() >= session.quietTime(),
             qPrintable(QString::number(sinceLast.elapsed())));
    QCOMPARE(session.records().joined(), sent);
}

void TestDownloadSession::lostConnection_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::newRow("before any byte") << QByteArray();
    QTest::newRow("mid-transfer") << QByteArray("1,230.5,PASS\r\n2,229.8,");
}

void TestDownloadSession::lostConnection()
{
    QFETCH(QByteArray, records);
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QSignalSpy lost(&session, &DownloadSession::connectionLost);
    QSignalSpy ended(&session, &DownloadSession::ended);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);
    if (!records.isEmpty()) {
        QVERIFY(pty.write(records));
        QTRY_COMPARE(session.bytesKept(), records.size());
    }
    QElapsedTimer sincePullOut;
    sincePullOut.start();
    pty.closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 10000);
    // Generous against a busy machine; the figure is printed.
    QVERIFY2(sincePullOut.elapsed() < 2000, qPrintable(QString::number(sincePullOut.elapsed())));
    qInfo("lost connection told %lld ms after the hang-up", sincePullOut.elapsed());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().at(0).value<End>(), End::ConnectionLost);
    QCOMPARE(session.records().joined(), records);
    QCOMPARE(session.hasData(), !records.isEmpty());
    QVERIFY(deviceGone(session));
}

void TestDownloadSession::cancelKeepsRecordsAndLeavesTheRestOnTheLine()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);
    QVERIFY(pty.write("1,2\r\n"));
    QTRY_COMPARE(session.bytesKept(), 5);
    session.cancel();
    QVERIFY(!session.isRunning());
    QCOMPARE(session.endReason(), End::Cancelled);
    session.cancel(); // twice is harmless
    QCOMPARE(session.records().joined(), QByteArray("1,2\r\n"));

    // What comes after Cancel is never read: it is still on the line.
    QVERIFY(pty.write("3,4\r\n"));
    QCOMPARE(pty.readAtPort(5), QByteArray("3,4\r\n"));
    QVERIFY(deviceGone(session));

    // The next download starts afresh.
    QVERIFY(session.start(pty.slavePath()));
    QVERIFY(session.records().isEmpty());
    QVERIFY(!session.hasData());
    QCOMPARE(session.endReason(), End::None);
}

void TestDownloadSession::openFailureSaysWhy_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<Cv::OpenFailure::Reason>("reason");
    QTest::newRow("no such port") << "missing" << Cv::OpenFailure::Reason::NotPresent;
    QTest::newRow("held by another program") << "busy" << Cv::OpenFailure::Reason::InUse;
    QTest::newRow("opened without a lock by another program")
        << "unlocked" << Cv::OpenFailure::Reason::InUse;
}

void TestDownloadSession::openFailureSaysWhy()
{
    QFETCH(QString, situation);
    QFETCH(Cv::OpenFailure::Reason, reason);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    QString port = pty.slavePath();
    std::unique_ptr<ReaderProcess> reader;
    std::unique_ptr<LockedPort> holder;
    if (situation == QLatin1String("unlocked")) {
        reader = std::make_unique<ReaderProcess>(port, ReaderProcess::HoldsOnly);
        QVERIFY(reader->pid() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(reader->hasOpened(), 60000);
    } else if (situation == QLatin1String("missing")) {
        port = dir.filePath(QStringLiteral("ttyUSB9"));
    } else {
        holder = std::make_unique<LockedPort>(port);
        QVERIFY(holder->isLocked());
    }

    DownloadSession session;
    QSignalSpy failed(&session, &DownloadSession::openFailed);
    const bool started = session.start(port);
    holder.reset();
    QVERIFY(!started);
    QVERIFY(!session.isRunning());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(session.endReason(), End::OpenFailed);
    QCOMPARE(session.openFailure().reason, reason);
    if (reader) {
        QCOMPARE(session.openFailure().holderProcessId, reader->pid());
        reader->stop();
    }
    QVERIFY(deviceGone(session));
    QCOMPARE(pty.drain(100), QByteArray()); // nothing was sent
}

void TestDownloadSession::sizeLimitStopsAnEndlessLine()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    QCOMPARE(session.sizeLimit(), DownloadSession::defaultSizeLimit);
    session.setSizeLimit(64 * 1024);
    QSignalSpy limit(&session, &DownloadSession::sizeLimitReached);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);
    const QByteArray line = QByteArray(99, 'x') + '\n';
    for (int i = 0; i < 1000 && limit.isEmpty(); ++i) {
        QVERIFY(pty.write(line));
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(limit.size(), 1, 10000);
    QCOMPARE(session.endReason(), End::SizeLimit);
    QVERIFY(session.bytesKept() > session.sizeLimit());
    QVERIFY(deviceGone(session));
}

// A consumer that writes the records away keeps none in the session.
void TestDownloadSession::recordsHandedOnWithoutKeeping()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    session.setKeepRecords(false);
    QByteArray handedOn;
    connect(&session, &DownloadSession::recordsKept, this,
            [&](qint64 from, const QByteArray &chunk) {
                QCOMPARE(from, handedOn.size());
                handedOn += chunk;
            });
    QSignalSpy quiet(&session, &DownloadSession::quietEnd);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);
    const QByteArray records = QByteArray("1,230.5\r\n").repeated(2000);
    QVERIFY(pty.write(records));
    QTRY_COMPARE_WITH_TIMEOUT(quiet.size(), 1, 20000);
    QCOMPARE(handedOn, records);
    QCOMPARE(session.bytesReceived(), records.size());
    QCOMPARE(session.bytesKept(), 0);
}

void TestDownloadSession::gateHoldsTheQuietEnd()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DownloadSession session;
    bool busy = true;
    int asked = 0;
    session.setQuietEndGate([&] {
        ++asked;
        return !busy;
    });
    QSignalSpy quiet(&session, &DownloadSession::quietEnd);
    QVERIFY(session.start(pty.slavePath()));
    QCOMPARE(pty.read(commands.size()), commands);
    QVERIFY(pty.write("1\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(asked >= 3, 10000);
    QVERIFY(quiet.isEmpty());
    busy = false;
    QTRY_COMPARE_WITH_TIMEOUT(quiet.size(), 1, 10000);
}

QTEST_GUILESS_MAIN(TestDownloadSession)
#include "tst_downloadsession.moc"
