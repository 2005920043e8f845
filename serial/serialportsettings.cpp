#include "serialportsettings.h"

#include <cstring>

namespace Cv {

SerialPortSettings::SerialPortSettings()
{
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
}

SerialPortSettings::~SerialPortSettings() = default;

// A flag stores only its own bits; the bit-field assignment leaves the rest of
// the flag word alone.

void SerialPortSettings::setBaudRate(quint32 value)
{
    dcb.BaudRate = value;
    mark(BaudRateField);
}

void SerialPortSettings::setFBinary(quint32 value)
{
    dcb.fBinary = value & 1u;
    mark(FBinaryField);
}

void SerialPortSettings::setFParity(quint32 value)
{
    dcb.fParity = value & 1u;
    mark(FParityField);
}

void SerialPortSettings::setFOutxCtsFlow(quint32 value)
{
    dcb.fOutxCtsFlow = value & 1u;
    mark(FOutxCtsFlowField);
}

void SerialPortSettings::setFOutxDsrFlow(quint32 value)
{
    dcb.fOutxDsrFlow = value & 1u;
    mark(FOutxDsrFlowField);
}

void SerialPortSettings::setFDtrControl(quint32 value)
{
    dcb.fDtrControl = value & 3u;
    mark(FDtrControlField);
}

void SerialPortSettings::setFDsrSensitivity(quint32 value)
{
    dcb.fDsrSensitivity = value & 1u;
    mark(FDsrSensitivityField);
}

void SerialPortSettings::setFTXContinueOnXoff(quint32 value)
{
    dcb.fTXContinueOnXoff = value & 1u;
    mark(FTXContinueOnXoffField);
}

void SerialPortSettings::setFOutX(quint32 value)
{
    dcb.fOutX = value & 1u;
    mark(FOutXField);
}

void SerialPortSettings::setFInX(quint32 value)
{
    dcb.fInX = value & 1u;
    mark(FInXField);
}

void SerialPortSettings::setFErrorChar(quint32 value)
{
    dcb.fErrorChar = value & 1u;
    mark(FErrorCharField);
}

void SerialPortSettings::setFNull(quint32 value)
{
    dcb.fNull = value & 1u;
    mark(FNullField);
}

void SerialPortSettings::setFRtsControl(quint32 value)
{
    dcb.fRtsControl = value & 3u;
    mark(FRtsControlField);
}

void SerialPortSettings::setFAbortOnError(quint32 value)
{
    dcb.fAbortOnError = value & 1u;
    mark(FAbortOnErrorField);
}

void SerialPortSettings::setXonLim(quint32 value)
{
    dcb.XonLim = static_cast<WORD>(value);
    mark(XonLimField);
}

void SerialPortSettings::setXoffLim(quint32 value)
{
    dcb.XoffLim = static_cast<WORD>(value);
    mark(XoffLimField);
}

void SerialPortSettings::setByteSize(quint32 value)
{
    dcb.ByteSize = static_cast<BYTE>(value);
    mark(ByteSizeField);
}

void SerialPortSettings::setParity(quint32 value)
{
    dcb.Parity = static_cast<BYTE>(value);
    mark(ParityField);
}

void SerialPortSettings::setStopBits(quint32 value)
{
    dcb.StopBits = static_cast<BYTE>(value);
    mark(StopBitsField);
}

void SerialPortSettings::setXonChar(quint32 value)
{
    dcb.XonChar = static_cast<char>(value & 0xffu);
    mark(XonCharField);
}

void SerialPortSettings::setXoffChar(quint32 value)
{
    dcb.XoffChar = static_cast<char>(value & 0xffu);
    mark(XoffCharField);
}

void SerialPortSettings::setEvtChar(quint32 value)
{
    dcb.EvtChar = static_cast<char>(value & 0xffu);
    mark(EvtCharField);
}

} // namespace Cv
