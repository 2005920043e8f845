#include "filesizecap.h"
#include "filesizelimit.h"
#include "recoveryjournal.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestRecoveryJournal : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void bytesAreInTheFileAsTheyArrive_data();
    void bytesAreInTheFileAsTheyArrive();
    void journalWithoutBytesGoes_data();
    void journalWithoutBytesGoes();
    void discardRemovesTheRecords();
    void leftoversOldestFirstWithTimeAndSize();
    void adoptedLeftoverIsHeldAgain();
    void failingDiskKeepsWhatWasWritten();
    void folderThatRefusesFiles();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString folder;
};

void TestRecoveryJournal::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Made by the journal itself.
    folder = dir->filePath(QStringLiteral("data/recovery"));
}

void TestRecoveryJournal::bytesAreInTheFileAsTheyArrive_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::newRow("one chunk") << QList<QByteArray>{"a,b\r\nc,d\r\n"};
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    QTest::newRow("every byte value, empty chunks between")
        << QList<QByteArray>{everyByte, QByteArray(), QByteArray(1, '\0'), "x\r", everyByte};
    QTest::newRow("large") << QList<QByteArray>{QByteArray(300000, 'r'), "tail\r\n"};
}

// Read back through a file of its own while the journal is open: these are
// the bytes a kill or a crash leaves behind.
void TestRecoveryJournal::bytesAreInTheFileAsTheyArrive()
{
    QFETCH(QList<QByteArray>, chunks);
    QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    RecoveryJournal journal(folder);
    QVERIFY(journal.start());
    QVERIFY(journal.isHeld());
    QByteArray sent;
    for (const QByteArray &chunk : chunks) {
        journal.append(chunk);
        sent += chunk;
        QCOMPARE(fileBytes(journal.path()), sent);
    }
    journal.finish();
    QCOMPARE(journal.records(), sent);
    // Held: neither offered nor taken by anyone else meanwhile.
    QVERIFY(RecoveryJournal::leftovers(folder).isEmpty());

    journal.release();
    QVERIFY(!journal.isHeld());
    const QList<RecoveryJournal::Leftover> found = RecoveryJournal::leftovers(folder);
    QCOMPARE(found.size(), 1);
    QCOMPARE(fileBytes(found.at(0).path), sent);
    QCOMPARE(found.at(0).size, sent.size());
    QVERIFY(found.at(0).lastWritten >= before);
    QVERIFY(found.at(0).lastWritten <= QDateTime::currentDateTime().addSecs(2));
}

void TestRecoveryJournal::journalWithoutBytesGoes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("download over") << QStringLiteral("finish");
    QTest::newRow("let go") << QStringLiteral("release");
    QTest::newRow("destroyed") << QStringLiteral("destroy");
    QTest::newRow("left by a program that died") << QStringLiteral("leftover");
}

void TestRecoveryJournal::journalWithoutBytesGoes()
{
    QFETCH(QString, how);
    {
        RecoveryJournal journal(folder);
        QVERIFY(journal.start());
        journal.append(QByteArray());
        if (how == QLatin1String("finish")) {
            journal.finish();
            QVERIFY(!journal.isHeld());
        } else if (how == QLatin1String("release")) {
            journal.release();
        } else if (how == QLatin1String("leftover")) {
            // As if the program had died: the file stays, its lock goes.
            const QString path = journal.path();
            QFile copy(path + QStringLiteral(".copy"));
            QVERIFY(QFile::copy(path, copy.fileName()));
            journal.release();
            QVERIFY(QFile::rename(copy.fileName(), path));
            QVERIFY(QFileInfo::exists(path));
        }
    }
    QVERIFY(RecoveryJournal::leftovers(folder).isEmpty());
    QCOMPARE(entries(folder), QStringList());
}

void TestRecoveryJournal::discardRemovesTheRecords()
{
    RecoveryJournal journal(folder);
    QVERIFY(journal.start());
    journal.append("1,2\r\n");
    journal.discard();
    QVERIFY(!journal.isHeld());
    QCOMPARE(entries(folder), QStringList());

    // A new download after records kept: the old ones stay for the next start.
    QVERIFY(journal.start());
    journal.append("3,4\r\n");
    journal.finish();
    const QString kept = journal.path();
    QVERIFY(journal.start());
    QVERIFY(journal.path() != kept);
    QCOMPARE(fileBytes(kept), "3,4\r\n");
    journal.discard();
    QCOMPARE(RecoveryJournal::leftovers(folder).size(), 1);
}

void TestRecoveryJournal::leftoversOldestFirstWithTimeAndSize()
{
    QList<QByteArray> records{"first\r\n", "second, longer\r\n", "third"};
    QStringList paths;
    for (const QByteArray &bytes : records) {
        RecoveryJournal journal(folder);
        QVERIFY(journal.start());
        journal.append(bytes);
        paths << journal.path();
        // Times a coarse file system can tell apart.
        QFile touch(journal.path());
        QVERIFY(touch.open(QIODevice::ReadWrite));
        QVERIFY(touch.setFileTime(QDateTime::currentDateTime().addSecs(-100 + 10 * paths.size()),
                                  QFileDevice::FileModificationTime));
    }
    RecoveryJournal held(folder);
    QVERIFY(held.start());
    held.append("still downloading");

    const QList<RecoveryJournal::Leftover> found = RecoveryJournal::leftovers(folder);
    QCOMPARE(found.size(), 3);
    for (qsizetype i = 0; i < found.size(); ++i) {
        QCOMPARE(found.at(i).path, paths.at(i));
        QCOMPARE(found.at(i).size, records.at(i).size());
        QCOMPARE(found.at(i).lastWritten, QFileInfo(paths.at(i)).lastModified());
    }
}

void TestRecoveryJournal::adoptedLeftoverIsHeldAgain()
{
    {
        RecoveryJournal journal(folder);
        QVERIFY(journal.start());
        journal.append("1.5,2.25\r\n");
    }
    const QList<RecoveryJournal::Leftover> found = RecoveryJournal::leftovers(folder);
    QCOMPARE(found.size(), 1);

    RecoveryJournal first(folder);
    QVERIFY(first.adopt(found.at(0)));
    QCOMPARE(first.records(), "1.5,2.25\r\n");
    RecoveryJournal second(folder);
    QVERIFY(!second.adopt(found.at(0)));
    QVERIFY(RecoveryJournal::leftovers(folder).isEmpty());

    // Later: the records wait for the next start.
    first.release();
    QVERIFY(second.adopt(found.at(0)));
    second.discard();
    QVERIFY(!first.adopt(found.at(0)));
    QCOMPARE(entries(folder), QStringList());
}

// A full disk or a size limit: the download goes on, the journal keeps the
// beginning of the records and writes no more.
void TestRecoveryJournal::failingDiskKeepsWhatWasWritten()
{
    letWritesFailAtFileSizeLimit();
    RecoveryJournal journal(folder);
    QVERIFY(journal.start());
    QString path = journal.path();
    {
        FileSizeCap cap(64);
        if (!cap.isActive())
            QSKIP("no file size limit on this system");
        journal.append(QByteArray(40, 'a'));
        journal.append(QByteArray(40, 'b'));
        journal.append(QByteArray(10, 'c'));
    }
    journal.append(QByteArray(10, 'd'));
    QCOMPARE(fileBytes(path), QByteArray(40, 'a') + QByteArray(24, 'b'));
    journal.finish();
    QVERIFY(journal.isHeld());
    journal.discard();
    QVERIFY(!QFileInfo::exists(path));
}

void TestRecoveryJournal::folderThatRefusesFiles()
{
    // A file where the folder should be.
    QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    RecoveryJournal journal(folder);
    QVERIFY(!journal.start());
    QVERIFY(!journal.isHeld());
    journal.append("records");
    journal.finish();
    journal.discard();
    QVERIFY(RecoveryJournal::leftovers(folder).isEmpty());
    QVERIFY(!RecoveryJournal(QString()).start());
}

QTEST_GUILESS_MAIN(TestRecoveryJournal)
#include "tst_recoveryjournal.moc"
