#include "openfailure.h"
#include "stderrcapture.h"
#include "winserialdevice.h"

#include <QTest>

using Cv::OpenFailure;
using Cv::WinSerialDevice;

// The reason the window gives for a port that would not open, built from
// what the system said: the Windows build through FormatMessageW and the
// Windows codes, the Linux build from errno.
class TestOpenFailure : public QObject
{
    Q_OBJECT

private slots:
    void missingPortIsNotPresent();
};

void TestOpenFailure::missingPortIsNotPresent()
{
    // Resolves to \\.\COM97 on Windows and /dev/COM97 on Linux: neither exists.
    const QString name = QStringLiteral("COM97");
    WinSerialDevice device(name);
    StderrCapture capture;
    QVERIFY(!device.open(QIODevice::ReadWrite, 50, 50));
    capture.finish();
    QCOMPARE(device.lastErrorCode(), DWORD(ERROR_FILE_NOT_FOUND));

    const OpenFailure failure =
        Cv::describeOpenFailure(name, device.lastErrorCode(), device.lastSystemError());
    QCOMPARE(failure.reason, OpenFailure::Reason::NotPresent);
    // The system's own words go into the box's details.
    QVERIFY2(!failure.systemMessage.isEmpty(), "no text from the system");
}

QTEST_GUILESS_MAIN(TestOpenFailure)
#include "tst_openfailure.moc"
