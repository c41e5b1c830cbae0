#include "serial/ComSettings.h"

#include "serial/CPort.h"
#include "serial/TextTable.h"

#include <array>

namespace {

constexpr std::array<const char*, 16> kBaudRates = {
    "Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
    "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr std::array<std::int32_t, 16> kBaudValues = {
    0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200,
    38400, 56000, 57600, 115200, 128000, 256000};
constexpr std::array<const char*, 3> kStopBits = {"1", "1.5", "2"};
constexpr std::array<const char*, 4> kDataBits = {"5", "6", "7", "8"};
constexpr std::array<const char*, 5> kParity = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 4> kFlowControl = {"Hardware", "Software", "None", "Custom"};

} // namespace

std::string BaudRateText(TBaudRate value) { return kBaudRates.at(value); }
TBaudRate ParseBaudRate(const std::string& text) { return ParseText(kBaudRates, text, br9600); }
std::int32_t BaudRateValue(TBaudRate value) { return kBaudValues.at(value); }
std::string StopBitsText(TStopBits value) { return kStopBits.at(value); }
TStopBits ParseStopBits(const std::string& text) { return ParseText(kStopBits, text, sbOneStopBit); }
std::string DataBitsText(TDataBits value) { return kDataBits.at(value); }
TDataBits ParseDataBits(const std::string& text) { return ParseText(kDataBits, text, dbEight); }
std::string ParityText(TParityBits value) { return kParity.at(value); }
TParityBits ParseParity(const std::string& text) { return ParseText(kParity, text, prNone); }
std::string FlowControlText(TFlowControl value) { return kFlowControl.at(value); }
TFlowControl ParseFlowControl(const std::string& text) { return ParseText(kFlowControl, text, fcCustom); }

// --- TComTimeouts

void TComTimeouts::Changed()
{
    if (ComPort())
        ComPort()->ApplyTimeoutSettings();
}

void TComTimeouts::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TComTimeouts*>(&source);
    if (!other)
        AssignError(source);
    readInterval_ = other->readInterval_;
    readTotalMultiplier_ = other->readTotalMultiplier_;
    readTotalConstant_ = other->readTotalConstant_;
    writeTotalMultiplier_ = other->writeTotalMultiplier_;
    writeTotalConstant_ = other->writeTotalConstant_;
}

void TComTimeouts::SetReadInterval(std::int32_t value) { Store(readInterval_, value); }
void TComTimeouts::SetReadTotalMultiplier(std::int32_t value) { Store(readTotalMultiplier_, value); }
void TComTimeouts::SetReadTotalConstant(std::int32_t value) { Store(readTotalConstant_, value); }
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t value) { Store(writeTotalMultiplier_, value); }
void TComTimeouts::SetWriteTotalConstant(std::int32_t value) { Store(writeTotalConstant_, value); }

// --- TComFlowControl

void TComFlowControl::Changed()
{
    if (ComPort())
        ComPort()->ApplyControlBlock();
}

void TComFlowControl::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TComFlowControl*>(&source);
    if (!other)
        AssignError(source);
    outCTSFlow_ = other->outCTSFlow_;
    outDSRFlow_ = other->outDSRFlow_;
    controlDTR_ = other->controlDTR_;
    controlRTS_ = other->controlRTS_;
    xonXoffOut_ = other->xonXoffOut_;
    xonXoffIn_ = other->xonXoffIn_;
    dsrSensitivity_ = other->dsrSensitivity_;
    txContinueOnXoff_ = other->txContinueOnXoff_;
    xonChar_ = other->xonChar_;
    xoffChar_ = other->xoffChar_;
}

TFlowControl TComFlowControl::FlowControl() const
{
    const bool xon = xonXoffIn_ || xonXoffOut_;
    const bool bothXon = xonXoffIn_ && xonXoffOut_;
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xon)
        return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && bothXon)
        return fcSoftware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xon)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value)
{
    if (value != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (value == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (value == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    Changed();
}

void TComFlowControl::SetOutCTSFlow(bool value) { Store(outCTSFlow_, value); }
void TComFlowControl::SetOutDSRFlow(bool value) { Store(outDSRFlow_, value); }
void TComFlowControl::SetControlDTR(TDTRFlowControl value) { Store(controlDTR_, value); }
void TComFlowControl::SetControlRTS(TRTSFlowControl value) { Store(controlRTS_, value); }
void TComFlowControl::SetXonXoffOut(bool value) { Store(xonXoffOut_, value); }
void TComFlowControl::SetXonXoffIn(bool value) { Store(xonXoffIn_, value); }
void TComFlowControl::SetDSRSensitivity(bool value) { Store(dsrSensitivity_, value); }
void TComFlowControl::SetTxContinueOnXoff(bool value) { Store(txContinueOnXoff_, value); }
void TComFlowControl::SetXonChar(std::uint8_t value) { Store(xonChar_, value); }
void TComFlowControl::SetXoffChar(std::uint8_t value) { Store(xoffChar_, value); }

// --- TComParity

void TComParity::Changed()
{
    if (ComPort())
        ComPort()->ApplyControlBlock();
}

void TComParity::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TComParity*>(&source);
    if (!other)
        AssignError(source);
    bits_.store(other->Bits(), std::memory_order_relaxed);
    check_.store(other->Check(), std::memory_order_relaxed);
    replace_.store(other->Replace(), std::memory_order_relaxed);
    replaceChar_.store(other->ReplaceChar(), std::memory_order_relaxed);
}

void TComParity::SetBits(TParityBits value) { Store(bits_, value); }
void TComParity::SetCheck(bool value) { Store(check_, value); }
void TComParity::SetReplace(bool value) { Store(replace_, value); }
void TComParity::SetReplaceChar(std::uint8_t value) { Store(replaceChar_, value); }

// --- TComBuffer

namespace {

// The driver takes even queue sizes only; zero and negative values pass unchanged.
std::int32_t RoundedSize(std::int32_t value)
{
    return value > 0 && value % 2 != 0 ? value - 1 : value;
}

} // namespace

void TComBuffer::Changed()
{
    if (ComPort())
        ComPort()->ApplyBufferSizes();
}

void TComBuffer::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TComBuffer*>(&source);
    if (!other)
        AssignError(source);
    inputSize_ = other->inputSize_;
    outputSize_ = other->outputSize_;
}

void TComBuffer::SetInputSize(std::int32_t value)
{
    if (inputSize_ == value)
        return;
    inputSize_ = RoundedSize(value);
    Changed();
}

void TComBuffer::SetOutputSize(std::int32_t value)
{
    if (outputSize_ == value)
        return;
    outputSize_ = RoundedSize(value);
    Changed();
}
