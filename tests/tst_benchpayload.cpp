// The headroom figure counts only when the saved file is the transfer: the
// payload's own check must see every difference.
#include "payload.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray wholePayload(const Payload &payload)
{
    QByteArray all;
    for (qint64 offset = 0; offset < payload.size();) {
        const QByteArray chunk = payload.chunkAt(offset);
        if (chunk.isEmpty())
            break;
        all += chunk;
        offset += chunk.size();
    }
    return all;
}

} // namespace

class TestBenchPayload : public QObject
{
    Q_OBJECT

private slots:
    void chunksCoverTheTransferExactly_data();
    void chunksCoverTheTransferExactly();
    void fileCheckSeesEveryDifference_data();
    void fileCheckSeesEveryDifference();
};

void TestBenchPayload::chunksCoverTheTransferExactly_data()
{
    QTest::addColumn<qint64>("size");
    const qint64 block = Payload(1).block().size();
    QTest::newRow("less than a block") << qint64(1000);
    QTest::newRow("one block") << block;
    QTest::newRow("a block and a byte") << block + 1;
    QTest::newRow("several blocks and a part") << 3 * block + 4567;
}

void TestBenchPayload::chunksCoverTheTransferExactly()
{
    QFETCH(qint64, size);
    const Payload payload(size);
    const QByteArray all = wholePayload(payload);
    QCOMPARE(all.size(), size);
    // Record lines, repeated from the start of the block.
    QVERIFY(all.startsWith(payload.block().left(qsizetype(qMin<qint64>(size, 100)))));
    const qsizetype beyond = qsizetype(size) - payload.block().size();
    if (beyond > 0)
        QCOMPARE(all.mid(payload.block().size(), 50), payload.block().left(qMin(beyond, 50)));
    QVERIFY(payload.chunkAt(size).isEmpty());
    QVERIFY(payload.chunkAt(-1).isEmpty());
    QVERIFY(!payload.block().contains('\0'));
    QVERIFY(payload.block().endsWith("\r\n"));
}

void TestBenchPayload::fileCheckSeesEveryDifference_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("matches");
    QTest::newRow("unchanged") << "none" << true;
    QTest::newRow("first byte") << "first" << false;
    QTest::newRow("last byte") << "last" << false;
    QTest::newRow("byte in the second block") << "second block" << false;
    QTest::newRow("one byte short") << "short" << false;
    QTest::newRow("one byte more") << "long" << false;
}

void TestBenchPayload::fileCheckSeesEveryDifference()
{
    QFETCH(QString, change);
    QFETCH(bool, matches);
    const Payload payload(2 * Payload(1).block().size() + 999);
    QByteArray bytes = wholePayload(payload);
    if (change == QLatin1String("first"))
        bytes[0] = bytes[0] ^ 1;
    else if (change == QLatin1String("last"))
        bytes[bytes.size() - 1] = 'x';
    else if (change == QLatin1String("second block"))
        bytes[payload.block().size() + 7] = bytes[payload.block().size() + 7] ^ 1;
    else if (change == QLatin1String("short"))
        bytes.chop(1);
    else if (change == QLatin1String("long"))
        bytes += 'x';

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("saved"));
    QVERIFY(writeFile(path, bytes));
    QCOMPARE(payload.matchesFile(path), matches);
    QVERIFY(!payload.matchesFile(dir.filePath(QStringLiteral("missing"))));
}

QTEST_MAIN(TestBenchPayload)
#include "tst_benchpayload.moc"
