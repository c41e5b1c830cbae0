// What describes a port without touching a device: enumerations, sets, handler
// types, the four settings objects and the text forms of the main settings.
#pragma once

#include "runtime/Component.h"
#include "runtime/Persistent.h"
#include "serial/ChangedSetting.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class TCustomComPort;

enum TBaudRate : std::uint8_t {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };
enum TComThreadPriority : std::uint8_t {
    cpIdle, cpLowest, cpLower, cpNormal, cpHigher, cpHighest, cpTimeCritical
};
enum TComEvent : std::uint8_t {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
enum TStoredGroup : std::uint8_t {
    sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers
};

// A set of enumeration members held in `Bits`, bit n for the member of ordinal n.
template <typename E, typename Bits>
class TSmallSet {
public:
    constexpr TSmallSet() = default;
    constexpr TSmallSet(std::initializer_list<E> members)
    {
        for (E m : members)
            bits_ |= Bit(m);
    }
    static constexpr TSmallSet FromBits(Bits bits)
    {
        TSmallSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr Bits ToBits() const { return bits_; }
    constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSmallSet& Include(E m) { bits_ |= Bit(m); return *this; }
    constexpr TSmallSet& Exclude(E m) { bits_ &= static_cast<Bits>(~Bit(m)); return *this; }
    constexpr bool operator==(const TSmallSet&) const = default;

private:
    static constexpr Bits Bit(E m) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(m)); }
    Bits bits_ = 0;
};

using TComEvents = TSmallSet<TComEvent, std::uint16_t>;
using TStoredGroups = TSmallSet<TStoredGroup, std::uint8_t>;

constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

// Texts of the main settings and their parse with fallback (br9600, sbOneStopBit,
// dbEight, prNone, fcCustom); the parse compares in upper case and never fails.
std::string BaudRateText(TBaudRate value);
TBaudRate ParseBaudRate(const std::string& text);
std::string StopBitsText(TStopBits value);
TStopBits ParseStopBits(const std::string& text);
std::string DataBitsText(TDataBits value);
TDataBits ParseDataBits(const std::string& text);
std::string ParityText(TParityBits value);
TParityBits ParseParity(const std::string& text);
std::string FlowControlText(TFlowControl value);
TFlowControl ParseFlowControl(const std::string& text);

// The bit rate a member stands for; 0 for brCustom.
std::int32_t BaudRateValue(TBaudRate value);

// Base of the four settings objects: the back-reference to the owning port.
class TComSettings : public TPersistent {
public:
    TCustomComPort* ComPort() const { return comPort_; }

protected:
    explicit TComSettings(TCustomComPort* comPort) : comPort_(comPort) {}
    TComSettings(const TComSettings&) = delete;
    TComSettings& operator=(const TComSettings&) = delete;

    // A setter's step: a changed value is stored, then Changed re-applies it.
    template <typename Field, typename T>
    void Store(Field& field, const T& value)
    {
        StoreChanged(field, value, [this] { Changed(); });
    }
    // Has the owning port, if any, re-apply this object's record.
    virtual void Changed() = 0;

private:
    TCustomComPort* comPort_;
};

class TComTimeouts : public TComSettings {
public:
    explicit TComTimeouts(TCustomComPort* comPort = nullptr) : TComSettings(comPort) {}
    const char* ClassName() const override { return "TComTimeouts"; }
    void Assign(const TPersistent& source) override;

    std::int32_t ReadInterval() const { return readInterval_; }
    void SetReadInterval(std::int32_t value);
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void SetReadTotalMultiplier(std::int32_t value);
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    void SetReadTotalConstant(std::int32_t value);
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void SetWriteTotalMultiplier(std::int32_t value);
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetWriteTotalConstant(std::int32_t value);

private:
    void Changed() override;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

class TComFlowControl : public TComSettings {
public:
    explicit TComFlowControl(TCustomComPort* comPort = nullptr) : TComSettings(comPort) {}
    const char* ClassName() const override { return "TComFlowControl"; }
    void Assign(const TPersistent& source) override;

    // The summary of ControlRTS, OutCTSFlow and the two XON/XOFF flags.
    TFlowControl FlowControl() const;
    // Rewrites those fields (fcCustom leaves them) and always re-applies once.
    void SetFlowControl(TFlowControl value);

    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool value);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool value);
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool value);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool value);
    std::uint8_t XonChar() const { return xonChar_; }
    void SetXonChar(std::uint8_t value);
    std::uint8_t XoffChar() const { return xoffChar_; }
    void SetXoffChar(std::uint8_t value);

private:
    void Changed() override;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    std::uint8_t xonChar_ = 17;
    std::uint8_t xoffChar_ = 19;
};

// Check is read by the event thread (line errors) while the main thread may set
// it, so the fields are atomic.
class TComParity : public TComSettings {
public:
    explicit TComParity(TCustomComPort* comPort = nullptr) : TComSettings(comPort) {}
    const char* ClassName() const override { return "TComParity"; }
    void Assign(const TPersistent& source) override;

    TParityBits Bits() const { return bits_.load(std::memory_order_relaxed); }
    void SetBits(TParityBits value);
    bool Check() const { return check_.load(std::memory_order_relaxed); }
    void SetCheck(bool value);
    bool Replace() const { return replace_.load(std::memory_order_relaxed); }
    void SetReplace(bool value);
    std::uint8_t ReplaceChar() const { return replaceChar_.load(std::memory_order_relaxed); }
    void SetReplaceChar(std::uint8_t value);

private:
    void Changed() override;
    std::atomic<TParityBits> bits_{prNone};
    std::atomic<bool> check_{false};
    std::atomic<bool> replace_{false};
    std::atomic<std::uint8_t> replaceChar_{0};
};

class TComBuffer : public TComSettings {
public:
    explicit TComBuffer(TCustomComPort* comPort = nullptr) : TComSettings(comPort) {}
    const char* ClassName() const override { return "TComBuffer"; }
    void Assign(const TPersistent& source) override;

    // A changed positive odd size is lowered by one.
    std::int32_t InputSize() const { return inputSize_; }
    void SetInputSize(std::int32_t value);
    std::int32_t OutputSize() const { return outputSize_; }
    void SetOutputSize(std::int32_t value);

private:
    void Changed() override;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};
