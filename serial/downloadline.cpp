#include "downloadline.h"

#include "serialportsettings.h"

namespace Cv {

SerialPortSettings *downloadLineSettings()
{
    auto *settings = new SerialPortSettings;
    settings->setBaudRate(9600);
    settings->setByteSize(8);
    settings->setStopBits(ONESTOPBIT);
    settings->setFBinary(1);
    settings->setFParity(0);
    settings->setParity(NOPARITY);
    settings->setFOutxDsrFlow(0);
    settings->setFDsrSensitivity(0);
    settings->setFDtrControl(DTR_CONTROL_ENABLE);
    settings->setFOutxCtsFlow(0);
    settings->setFRtsControl(RTS_CONTROL_ENABLE);
    settings->setFOutX(0);
    settings->setFInX(0);
    settings->setXonChar(0x11);
    settings->setXoffChar(0x13);
    settings->setEvtChar(0);
    settings->setXonLim(100);
    settings->setXoffLim(100);
    settings->setFTXContinueOnXoff(1);
    settings->setFErrorChar(0);
    settings->setFNull(0);
    settings->setFAbortOnError(0);
    return settings;
}

QList<QByteArray> downloadCommands()
{
    return {QByteArrayLiteral("SYST:REM\r\n"), QByteArrayLiteral("MEM:DATA? ALL\r\n")};
}

} // namespace Cv
