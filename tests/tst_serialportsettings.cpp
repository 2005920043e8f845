#include "serialfixtures.h"
#include "serialportsettings.h"
#include "winserialdevice.h"

#include <QTest>

#include <array>
#include <bit>
#include <cstring>
#include <memory>

using Cv::SerialPortSettings;

namespace {

// Where each field lives in the 28-byte image: a mask of the flag word at
// byte 8, or a run of whole bytes.
struct FieldCase
{
    const char *name;
    void (SerialPortSettings::*set)(quint32);
    quint32 (*get)(const SerialPortSettings &);
    bool (SerialPortSettings::*isSet)() const;
    int number;
    quint32 flagMask; // 0 for a whole field
    int offset;
    int width;
};

constexpr int flagWordOffset = 8;

#define CV_FLAG(Cap, low, number, mask)                                                            \
    FieldCase                                                                                      \
    {                                                                                              \
#Cap, &SerialPortSettings::set##Cap,                                                       \
            [](const SerialPortSettings &s)                                                        \
                 -> quint32 { return s.low(); }, &SerialPortSettings::is##Cap##Set, number, mask,  \
                                              flagWordOffset, 4                                    \
    }
#define CV_WHOLE(Cap, low, number, offset, width)                                                  \
    FieldCase                                                                                      \
    {                                                                                              \
#Cap, &SerialPortSettings::set##Cap,                                                       \
            [](const SerialPortSettings &s)                                                        \
                 -> quint32 { return quint32(quint8(s.low())); },                                  \
                                                               &SerialPortSettings::is##Cap##Set,  \
                                                               number, 0, offset, width            \
    }

const std::array<FieldCase, 22> fields = {{
    {"BaudRate", &SerialPortSettings::setBaudRate,
     [](const SerialPortSettings &s) -> quint32 { return s.baudRate(); },
     &SerialPortSettings::isBaudRateSet, 0, 0, 4, 4},
    CV_FLAG(FBinary, fBinary, 1, 0x0001),
    CV_FLAG(FParity, fParity, 2, 0x0002),
    CV_FLAG(FOutxCtsFlow, fOutxCtsFlow, 3, 0x0004),
    CV_FLAG(FOutxDsrFlow, fOutxDsrFlow, 4, 0x0008),
    CV_FLAG(FDtrControl, fDtrControl, 5, 0x0030),
    CV_FLAG(FDsrSensitivity, fDsrSensitivity, 6, 0x0040),
    CV_FLAG(FTXContinueOnXoff, fTXContinueOnXoff, 7, 0x0080),
    CV_FLAG(FOutX, fOutX, 8, 0x0100),
    CV_FLAG(FInX, fInX, 9, 0x0200),
    CV_FLAG(FErrorChar, fErrorChar, 10, 0x0400),
    CV_FLAG(FNull, fNull, 11, 0x0800),
    CV_FLAG(FRtsControl, fRtsControl, 12, 0x3000),
    CV_FLAG(FAbortOnError, fAbortOnError, 13, 0x4000),
    {"XonLim", &SerialPortSettings::setXonLim,
     [](const SerialPortSettings &s) -> quint32 { return s.xonLim(); },
     &SerialPortSettings::isXonLimSet, 16, 0, 14, 2},
    {"XoffLim", &SerialPortSettings::setXoffLim,
     [](const SerialPortSettings &s) -> quint32 { return s.xoffLim(); },
     &SerialPortSettings::isXoffLimSet, 17, 0, 16, 2},
    CV_WHOLE(ByteSize, byteSize, 18, 18, 1),
    CV_WHOLE(Parity, parity, 19, 19, 1),
    CV_WHOLE(StopBits, stopBits, 20, 20, 1),
    CV_WHOLE(XonChar, xonChar, 21, 21, 1),
    CV_WHOLE(XoffChar, xoffChar, 22, 22, 1),
    CV_WHOLE(EvtChar, evtChar, 25, 25, 1),
}};

#undef CV_FLAG
#undef CV_WHOLE

QByteArray rawImage(const DCB &dcb)
{
    return QByteArray(reinterpret_cast<const char *>(&dcb), sizeof dcb);
}

quint32 readLe(const QByteArray &image, int offset, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | quint8(image.at(offset + i));
    return value;
}

void writeLe(QByteArray &image, int offset, int width, quint32 value)
{
    for (int i = 0; i < width; ++i)
        image[offset + i] = char((value >> (8 * i)) & 0xff);
}

// The image with the field replaced by value, everything else untouched.
QByteArray withField(QByteArray image, const FieldCase &field, quint32 value)
{
    if (field.flagMask) {
        const int shift = std::countr_zero(field.flagMask);
        const quint32 word = readLe(image, flagWordOffset, 4);
        writeLe(image, flagWordOffset, 4,
                (word & ~field.flagMask) | ((value << shift) & field.flagMask));
    } else {
        writeLe(image, field.offset, field.width, value);
    }
    return image;
}

quint32 fieldMax(const FieldCase &field)
{
    if (field.flagMask)
        return field.flagMask >> std::countr_zero(field.flagMask);
    return field.width == 4 ? 0xffffffffu : (1u << (8 * field.width)) - 1;
}

// Gives tests the working DCB, which only an open would create otherwise.
class ProbeDevice : public Cv::WinSerialDevice
{
public:
    ProbeDevice() : WinSerialDevice(QStringLiteral("unused")) {}
    void seed(const QByteArray &image)
    {
        dcb = std::make_unique<DCB>();
        std::memcpy(dcb.get(), image.constData(), sizeof(DCB));
    }
    QByteArray image() const { return rawImage(*dcb); }
};

// A driver state in which no byte is zero, so that every copied field shows.
QByteArray driverImage()
{
    QByteArray image(sizeof(DCB), char(0xa5));
    writeLe(image, 0, 4, sizeof(DCB));
    return image;
}

} // namespace

class TestSerialPortSettings : public QObject
{
    Q_OBJECT

private slots:
    void freshRecord();
    void setterStoresMaskedValue_data();
    void setterStoresMaskedValue();
    void setterLeavesNeighbours_data();
    void setterLeavesNeighbours();
    void dtrControlKeepsLowTwoBits();
    void secondSetOverwrites();
    void applyEmptyRecordChangesNothing();
    void applySingleField_data();
    void applySingleField();
    void applyDownloadSettings();
};

void TestSerialPortSettings::freshRecord()
{
    SerialPortSettings s;
    QByteArray expected(sizeof(DCB), 0);
    expected[0] = char(28);
    QCOMPARE(rawImage(s.image()), expected);
    QCOMPARE(s.assignedFields(), 0u);
    for (const FieldCase &field : fields) {
        QVERIFY2(!(s.*field.isSet)(), field.name);
        QCOMPARE(field.get(s), 0u);
    }
}

void TestSerialPortSettings::setterStoresMaskedValue_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<quint32>("value");
    for (int i = 0; i < int(fields.size()); ++i) {
        QTest::addRow("%s all ones", fields[i].name) << i << 0xffffffffu;
        QTest::addRow("%s pattern", fields[i].name) << i << 0x9abcdef6u;
    }
}

void TestSerialPortSettings::setterStoresMaskedValue()
{
    QFETCH(int, index);
    QFETCH(quint32, value);
    const FieldCase &field = fields[index];

    SerialPortSettings s;
    const QByteArray before = rawImage(s.image());
    (s.*field.set)(value);

    const quint32 stored = value & fieldMax(field);
    QCOMPARE(field.get(s), stored);
    QVERIFY((s.*field.isSet)());
    QCOMPARE(s.assignedFields(), 1u << field.number);
    QCOMPARE(rawImage(s.image()), withField(before, field, stored));
}

void TestSerialPortSettings::setterLeavesNeighbours_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(fields.size()); ++i)
        QTest::addRow("%s", fields[i].name) << i;
}

void TestSerialPortSettings::setterLeavesNeighbours()
{
    QFETCH(int, index);
    const FieldCase &field = fields[index];

    SerialPortSettings s;
    for (const FieldCase &other : fields)
        (s.*other.set)(0xffffffffu);
    const QByteArray before = rawImage(s.image());
    (s.*field.set)(0);

    QCOMPARE(field.get(s), 0u);
    QCOMPARE(rawImage(s.image()), withField(before, field, 0));
    for (const FieldCase &other : fields) {
        if (&other != &field)
            QCOMPARE(other.get(s), fieldMax(other));
    }
}

void TestSerialPortSettings::dtrControlKeepsLowTwoBits()
{
    SerialPortSettings s;
    s.setFOutxDsrFlow(1);
    s.setFDsrSensitivity(1);
    s.setFDtrControl(5);

    QCOMPARE(s.fDtrControl(), 1u);
    QCOMPARE(s.fOutxDsrFlow(), 1u);
    QCOMPARE(s.fDsrSensitivity(), 1u);
    QCOMPARE(readLe(rawImage(s.image()), flagWordOffset, 4), 0x0008u | 0x0010u | 0x0040u);
    QCOMPARE(s.assignedFields(), (1u << 4) | (1u << 5) | (1u << 6));
}

void TestSerialPortSettings::secondSetOverwrites()
{
    SerialPortSettings s;
    s.setBaudRate(9600);
    s.setBaudRate(115200);
    s.setFAbortOnError(1);
    s.setFAbortOnError(0);

    QCOMPARE(s.baudRate(), 115200u);
    QVERIFY(s.isBaudRateSet());
    QCOMPARE(s.fAbortOnError(), 0u);
    QVERIFY(s.isFAbortOnErrorSet());
    QCOMPARE(s.assignedFields(), (1u << 0) | (1u << 13));
}

void TestSerialPortSettings::applyEmptyRecordChangesNothing()
{
    ProbeDevice device;
    device.seed(driverImage());
    SerialPortSettings s;
    device.applySettings(&s);
    QCOMPARE(device.image(), driverImage());
}

void TestSerialPortSettings::applySingleField_data()
{
    setterLeavesNeighbours_data();
}

void TestSerialPortSettings::applySingleField()
{
    QFETCH(int, index);
    const FieldCase &field = fields[index];

    ProbeDevice device;
    device.seed(driverImage());
    SerialPortSettings s;
    (s.*field.set)(0);
    device.applySettings(&s);

    QCOMPARE(device.image(), withField(driverImage(), field, 0));
}

void TestSerialPortSettings::applyDownloadSettings()
{
    const std::unique_ptr<SerialPortSettings> record(Cv::downloadLineSettings());
    const SerialPortSettings &s = *record;
    QCOMPARE(s.assignedFields(), 0x027f3fffu);

    ProbeDevice device;
    device.seed(driverImage());
    device.applySettings(record.get());
    const QByteArray image = device.image();

    QCOMPARE(readLe(image, 0, 4), 28u);
    QCOMPARE(readLe(image, 4, 4), 9600u);
    // Reserved flag bits 15..31 keep what the driver reported.
    QCOMPARE(readLe(image, flagWordOffset, 4),
             0xa5a50000u | 0x8000u | 0x0001u | 0x0010u | 0x0080u | 0x1000u);
    QCOMPARE(readLe(image, 12, 2), 0xa5a5u); // wReserved
    QCOMPARE(readLe(image, 14, 2), 100u);
    QCOMPARE(readLe(image, 16, 2), 100u);
    QCOMPARE(quint8(image[18]), quint8(8));
    QCOMPARE(quint8(image[19]), NOPARITY);
    QCOMPARE(quint8(image[20]), ONESTOPBIT);
    QCOMPARE(quint8(image[21]), quint8(0x11));
    QCOMPARE(quint8(image[22]), quint8(0x13));
    QCOMPARE(quint8(image[23]), quint8(0xa5)); // ErrorChar
    QCOMPARE(quint8(image[24]), quint8(0xa5)); // EofChar
    QCOMPARE(quint8(image[25]), quint8(0));
    QCOMPARE(readLe(image, 26, 2), 0xa5a5u);
}

QTEST_APPLESS_MAIN(TestSerialPortSettings)
#include "tst_serialportsettings.moc"
