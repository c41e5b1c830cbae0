// The device records built from the settings: the DCB and the time-outs.
#include "serial/CPort.h"

using namespace comm;

DCB TCustomComPort::BuildControlBlock() const
{
    const TComFlowControl& flow = FlowControl();
    const bool check = Parity().Check();
    const bool replace = check && Parity().Replace();
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_));
    dcb.fBinary = 1;
    dcb.fParity = check;
    dcb.fOutxCtsFlow = flow.OutCTSFlow();
    dcb.fOutxDsrFlow = flow.OutDSRFlow();
    dcb.fDtrControl = flow.ControlDTR();
    dcb.fDsrSensitivity = flow.DSRSensitivity();
    dcb.fTXContinueOnXoff = flow.TxContinueOnXoff();
    dcb.fOutX = flow.XonXoffOut();
    dcb.fInX = flow.XonXoffIn();
    dcb.fErrorChar = replace;
    dcb.fNull = discardNull_;
    dcb.fRtsControl = flow.ControlRTS();
    dcb.fAbortOnError = 0;
    dcb.XonLim = static_cast<WORD>(Buffer().InputSize() / 4);
    dcb.XoffLim = dcb.XonLim;
    dcb.ByteSize = static_cast<BYTE>(5 + dataBits_);
    dcb.Parity = Parity().Bits();
    dcb.StopBits = stopBits_;
    // The record holds plain chars; codes above 127 go in as their byte and the
    // device layer reads them back unsigned.
    dcb.XonChar = static_cast<char>(flow.XonChar());
    dcb.XoffChar = static_cast<char>(flow.XoffChar());
    dcb.ErrorChar = replace ? static_cast<char>(Parity().ReplaceChar()) : 0;
    dcb.EofChar = 0;
    dcb.EvtChar = static_cast<char>(eventChar_);
    return dcb;
}

COMMTIMEOUTS TCustomComPort::BuildTimeouts() const
{
    const TComTimeouts& t = Timeouts();
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = static_cast<DWORD>(t.ReadInterval());
    timeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(t.ReadTotalMultiplier());
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(t.ReadTotalConstant());
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(t.WriteTotalMultiplier());
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(t.WriteTotalConstant());
    return timeouts;
}
