// The records written while they arrive: the target gets them all at
// commit(), or stays as it was.
#include "filesizecap.h"
#include "recordfilestream.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray oldBytes = "the records saved before\n";

} // namespace

class TestRecordFileStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stream_data();
    void stream();
    void refusesPipeBeforeAnyRecord();
    void deviceGetsRecordsAtCommit();
};

void TestRecordFileStream::initTestCase()
{
    // Past the size limit a write fails instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

void TestRecordFileStream::stream_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<qint64>("sizeCap"); // 0: none
    QTest::addColumn<bool>("saved");

    QTest::newRow("new file, committed") << false << true << qint64(0) << true;
    QTest::newRow("existing file, committed") << true << true << qint64(0) << true;
    QTest::newRow("new file, discarded") << false << false << qint64(0) << false;
    QTest::newRow("existing file, discarded") << true << false << qint64(0) << false;
    QTest::newRow("existing file, write fails") << true << true << qint64(100000) << false;
}

// Many chunks, as a download brings them; the target sees none before the
// commit.
void TestRecordFileStream::stream()
{
    QFETCH(bool, existing);
    QFETCH(bool, commit);
    QFETCH(qint64, sizeCap);
    QFETCH(bool, saved);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("records.csv"));
    if (existing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(oldBytes);
    }
    std::unique_ptr<FileSizeCap> cap;
    if (sizeCap > 0)
        cap = std::make_unique<FileSizeCap>(quint64(sizeCap));

    RecordFileStream stream(path);
    QVERIFY2(stream.open(), qPrintable(stream.reason()));
    QByteArray all;
    bool writing = true;
    for (int i = 0; i < 200 && writing; ++i) {
        const QByteArray chunk = QByteArray::number(i).repeated(1000) + "\r\n";
        writing = stream.write(chunk);
        all += chunk;
        QCOMPARE(fileBytes(path), existing ? oldBytes : QByteArray());
    }
    QCOMPARE(writing, sizeCap == 0);
    if (!writing)
        QVERIFY(!stream.reason().isEmpty());

    if (commit) {
        const RecordFileResult result = stream.commit();
        QCOMPARE(result.saved, saved);
    } else {
        stream.discard();
    }
    cap.reset();
    QCOMPARE(fileBytes(path), saved ? all : existing ? oldBytes : QByteArray());
    QCOMPARE(QFileInfo::exists(path), saved || existing);
    // No temporary file left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
             saved || existing ? 1 : 0);
}

void TestRecordFileStream::refusesPipeBeforeAnyRecord()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    RecordFileStream stream(path);
    QVERIFY(!stream.open());
    QVERIFY2(stream.reason().contains(QLatin1String("named pipe")), qPrintable(stream.reason()));
}

// A device is not replaced: it gets the records, all at once, at the end.
void TestRecordFileStream::deviceGetsRecordsAtCommit()
{
    RecordFileStream stream(QStringLiteral("/dev/null"));
    QVERIFY2(stream.open(), qPrintable(stream.reason()));
    QVERIFY(stream.write(QByteArray(100000, 'x')));
    QVERIFY(stream.write("1.5,2\r\n"));
    const RecordFileResult result = stream.commit();
    QVERIFY2(result.saved, qPrintable(result.reason));
}

QTEST_GUILESS_MAIN(TestRecordFileStream)
#include "tst_recordfilestream.moc"
