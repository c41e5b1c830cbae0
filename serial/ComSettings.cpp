#include "serial/ComSettings.h"

#include "serial/CPort.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

template <std::size_t N>
int FindText(const std::array<const char*, N>& texts, const std::string& text)
{
    auto upper = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return s;
    };
    const std::string wanted = upper(text);
    for (std::size_t i = 0; i < N; ++i)
        if (upper(texts[i]) == wanted)
            return static_cast<int>(i);
    return -1;
}

template <typename E, std::size_t N>
E Parse(const std::array<const char*, N>& texts, const std::string& text, E fallback)
{
    const int found = FindText(texts, text);
    return found < 0 ? fallback : static_cast<E>(found);
}

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
TBaudRate ParseBaudRate(const std::string& text) { return Parse(kBaudRates, text, br9600); }
std::int32_t BaudRateValue(TBaudRate value) { return kBaudValues.at(value); }
std::string StopBitsText(TStopBits value) { return kStopBits.at(value); }
TStopBits ParseStopBits(const std::string& text) { return Parse(kStopBits, text, sbOneStopBit); }
std::string DataBitsText(TDataBits value) { return kDataBits.at(value); }
TDataBits ParseDataBits(const std::string& text) { return Parse(kDataBits, text, dbEight); }
std::string ParityText(TParityBits value) { return kParity.at(value); }
TParityBits ParseParity(const std::string& text) { return Parse(kParity, text, prNone); }
std::string FlowControlText(TFlowControl value) { return kFlowControl.at(value); }
TFlowControl ParseFlowControl(const std::string& text) { return Parse(kFlowControl, text, fcCustom); }

// A changed field is stored, then the owning port re-applies its record.
#define VORN_SETTER(Class, Name, Type, field)  \
    void Class::Set##Name(Type value)          \
    {                                          \
        if (field == value)                    \
            return;                            \
        field = value;                         \
        Changed();                             \
    }

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

VORN_SETTER(TComTimeouts, ReadInterval, std::int32_t, readInterval_)
VORN_SETTER(TComTimeouts, ReadTotalMultiplier, std::int32_t, readTotalMultiplier_)
VORN_SETTER(TComTimeouts, ReadTotalConstant, std::int32_t, readTotalConstant_)
VORN_SETTER(TComTimeouts, WriteTotalMultiplier, std::int32_t, writeTotalMultiplier_)
VORN_SETTER(TComTimeouts, WriteTotalConstant, std::int32_t, writeTotalConstant_)

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

VORN_SETTER(TComFlowControl, OutCTSFlow, bool, outCTSFlow_)
VORN_SETTER(TComFlowControl, OutDSRFlow, bool, outDSRFlow_)
VORN_SETTER(TComFlowControl, ControlDTR, TDTRFlowControl, controlDTR_)
VORN_SETTER(TComFlowControl, ControlRTS, TRTSFlowControl, controlRTS_)
VORN_SETTER(TComFlowControl, XonXoffOut, bool, xonXoffOut_)
VORN_SETTER(TComFlowControl, XonXoffIn, bool, xonXoffIn_)
VORN_SETTER(TComFlowControl, DSRSensitivity, bool, dsrSensitivity_)
VORN_SETTER(TComFlowControl, TxContinueOnXoff, bool, txContinueOnXoff_)
VORN_SETTER(TComFlowControl, XonChar, std::uint8_t, xonChar_)
VORN_SETTER(TComFlowControl, XoffChar, std::uint8_t, xoffChar_)

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

#define VORN_ATOMIC_SETTER(Class, Name, Type, field)           \
    void Class::Set##Name(Type value)                          \
    {                                                          \
        if (field.load(std::memory_order_relaxed) == value)    \
            return;                                            \
        field.store(value, std::memory_order_relaxed);         \
        Changed();                                             \
    }

VORN_ATOMIC_SETTER(TComParity, Bits, TParityBits, bits_)
VORN_ATOMIC_SETTER(TComParity, Check, bool, check_)
VORN_ATOMIC_SETTER(TComParity, Replace, bool, replace_)
VORN_ATOMIC_SETTER(TComParity, ReplaceChar, std::uint8_t, replaceChar_)

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
