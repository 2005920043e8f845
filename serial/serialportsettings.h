#pragma once

#include "win32api.h"

#include <QtGlobal>

namespace Cv {

// The line settings a caller cares about, kept as a partial DCB image: every
// field that was given a value is marked, and only marked fields overwrite
// what the driver reports when a port opens.
class SerialPortSettings
{
public:
    // Bit numbers of the assigned word follow the order of the fields in the DCB.
    enum Field : quint32 {
        BaudRateField = 0,
        FBinaryField = 1,
        FParityField = 2,
        FOutxCtsFlowField = 3,
        FOutxDsrFlowField = 4,
        FDtrControlField = 5,
        FDsrSensitivityField = 6,
        FTXContinueOnXoffField = 7,
        FOutXField = 8,
        FInXField = 9,
        FErrorCharField = 10,
        FNullField = 11,
        FRtsControlField = 12,
        FAbortOnErrorField = 13,
        XonLimField = 16,
        XoffLimField = 17,
        ByteSizeField = 18,
        ParityField = 19,
        StopBitsField = 20,
        XonCharField = 21,
        XoffCharField = 22,
        EvtCharField = 25,
    };

    SerialPortSettings();
    ~SerialPortSettings();

    void setBaudRate(quint32 value);
    void setFBinary(quint32 value);
    void setFParity(quint32 value);
    void setFOutxCtsFlow(quint32 value);
    void setFOutxDsrFlow(quint32 value);
    void setFDtrControl(quint32 value);
    void setFDsrSensitivity(quint32 value);
    void setFTXContinueOnXoff(quint32 value);
    void setFOutX(quint32 value);
    void setFInX(quint32 value);
    void setFErrorChar(quint32 value);
    void setFNull(quint32 value);
    void setFRtsControl(quint32 value);
    void setFAbortOnError(quint32 value);
    void setXonLim(quint32 value);
    void setXoffLim(quint32 value);
    void setByteSize(quint32 value);
    void setParity(quint32 value);
    void setStopBits(quint32 value);
    void setXonChar(quint32 value);
    void setXoffChar(quint32 value);
    void setEvtChar(quint32 value);

    quint32 baudRate() const { return dcb.BaudRate; }
    quint32 fBinary() const { return dcb.fBinary; }
    quint32 fParity() const { return dcb.fParity; }
    quint32 fOutxCtsFlow() const { return dcb.fOutxCtsFlow; }
    quint32 fOutxDsrFlow() const { return dcb.fOutxDsrFlow; }
    quint32 fDtrControl() const { return dcb.fDtrControl; }
    quint32 fDsrSensitivity() const { return dcb.fDsrSensitivity; }
    quint32 fTXContinueOnXoff() const { return dcb.fTXContinueOnXoff; }
    quint32 fOutX() const { return dcb.fOutX; }
    quint32 fInX() const { return dcb.fInX; }
    quint32 fErrorChar() const { return dcb.fErrorChar; }
    quint32 fNull() const { return dcb.fNull; }
    quint32 fRtsControl() const { return dcb.fRtsControl; }
    quint32 fAbortOnError() const { return dcb.fAbortOnError; }
    quint16 xonLim() const { return dcb.XonLim; }
    quint16 xoffLim() const { return dcb.XoffLim; }
    quint8 byteSize() const { return dcb.ByteSize; }
    quint8 parity() const { return dcb.Parity; }
    quint8 stopBits() const { return dcb.StopBits; }
    char xonChar() const { return dcb.XonChar; }
    char xoffChar() const { return dcb.XoffChar; }
    char evtChar() const { return dcb.EvtChar; }

    bool isBaudRateSet() const { return isSet(BaudRateField); }
    bool isFBinarySet() const { return isSet(FBinaryField); }
    bool isFParitySet() const { return isSet(FParityField); }
    bool isFOutxCtsFlowSet() const { return isSet(FOutxCtsFlowField); }
    bool isFOutxDsrFlowSet() const { return isSet(FOutxDsrFlowField); }
    bool isFDtrControlSet() const { return isSet(FDtrControlField); }
    bool isFDsrSensitivitySet() const { return isSet(FDsrSensitivityField); }
    bool isFTXContinueOnXoffSet() const { return isSet(FTXContinueOnXoffField); }
    bool isFOutXSet() const { return isSet(FOutXField); }
    bool isFInXSet() const { return isSet(FInXField); }
    bool isFErrorCharSet() const { return isSet(FErrorCharField); }
    bool isFNullSet() const { return isSet(FNullField); }
    bool isFRtsControlSet() const { return isSet(FRtsControlField); }
    bool isFAbortOnErrorSet() const { return isSet(FAbortOnErrorField); }
    bool isXonLimSet() const { return isSet(XonLimField); }
    bool isXoffLimSet() const { return isSet(XoffLimField); }
    bool isByteSizeSet() const { return isSet(ByteSizeField); }
    bool isParitySet() const { return isSet(ParityField); }
    bool isStopBitsSet() const { return isSet(StopBitsField); }
    bool isXonCharSet() const { return isSet(XonCharField); }
    bool isXoffCharSet() const { return isSet(XoffCharField); }
    bool isEvtCharSet() const { return isSet(EvtCharField); }

    // The whole assigned word and the image, for callers that compare records.
    quint32 assignedFields() const { return assigned; }
    const DCB &image() const { return dcb; }

private:
    Q_DISABLE_COPY_MOVE(SerialPortSettings)

    bool isSet(Field field) const { return (assigned >> field) & 1u; }
    void mark(Field field) { assigned |= 1u << field; }

    DCB dcb;
    quint32 assigned = 0;
};

} // namespace Cv
