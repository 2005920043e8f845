#include "germancsv.h"

#include <QTest>

// The German number format on saving, byte by byte, with no window.
class TestGermanCsv : public QObject
{
    Q_OBJECT

private slots:
    void convertsSeparatorsThenDecimals_data();
    void convertsSeparatorsThenDecimals();
};

void TestGermanCsv::convertsSeparatorsThenDecimals_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("record") << QByteArray("300,21.05.2024,664.9,PASS\r\n")
                            << QByteArray("300;21,05,2024;664,9;PASS\r\n");
    // A decimal comma made from a point is not turned into a field separator.
    QTest::newRow("order") << QByteArray("1.5,2") << QByteArray("1,5;2");
    QTest::newRow("other bytes kept") << QByteArray("a\0.b\xff,", 6) << QByteArray("a\0,b\xff;", 6);
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestGermanCsv::convertsSeparatorsThenDecimals()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    QCOMPARE(toGermanCsv(data), expected);
}

QTEST_APPLESS_MAIN(TestGermanCsv)
#include "tst_germancsv.moc"
