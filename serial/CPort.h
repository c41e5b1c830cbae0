// The serial port component: the one header a user of the port needs.
#pragma once

#include "serial/ComDevice.h"
#include "serial/ComErrors.h"
#include "serial/ComValueForms.h"
#include "serial/ComSettings.h"
#include "serial/ComTransfer.h"
#include "runtime/MainThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

class TRegistry;
class TIniFile;
class TComThread;

// Handler types; Sender is the port.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TRxCharEvent = std::function<void(TComponent* Sender, std::int32_t Count)>;
using TRxBufEvent = std::function<void(TComponent* Sender, const void* Buffer, std::int32_t Count)>;
using TComErrorEvent = std::function<void(TComponent* Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(TComponent* Sender, bool OnOff)>;

// A handler property the event thread reads while the main thread may set it.
template <typename F>
class TComHandler {
public:
    F Get() const
    {
        auto held = handler_.load();
        return held ? *held : F();
    }
    void Set(F handler)
    {
        handler_.store(handler ? std::make_shared<const F>(std::move(handler)) : nullptr);
    }
    // Calls the handler if one is set; the copy keeps it alive through the call.
    template <typename... Args>
    void operator()(Args&&... args) const
    {
        if (auto held = handler_.load())
            (*held)(std::forward<Args>(args)...);
    }

private:
    std::atomic<std::shared_ptr<const F>> handler_;
};

// Windows message number of a line event sent to the hidden window.
constexpr std::uint32_t CM_COMPORT_EVENT = 0x401;

// The event mask of SetCommMask/WaitCommEvent for a set of events, and back
// (serial/ComPortDispatch.cpp).
comm::DWORD EventsToMask(TComEvents events);
TComEvents MaskToEvents(comm::DWORD mask);

// Its members are defined by group: construction and properties in ComPort.cpp,
// persistence in ComPortPersistence.cpp, lifecycle and re-applications in
// ComPortLifecycle.cpp, the records in ComPortRecords.cpp, transfers and line state in
// ComTransfer.cpp, handling steps and hooks in ComPortEvents.cpp, the dispatch and the
// message handler in ComPortDispatch.cpp (all in serial/).
class TCustomComPort : public TComponent {
public:
    // `device` nullptr means SystemComDevice(); the device must outlive the port.
    explicit TCustomComPort(TComponent* owner = nullptr, TComDevice* device = nullptr);
    ~TCustomComPort() override;

    // Settings persistence (ComPortPersistence.cpp).
    virtual void SaveToRegistryKey(TRegistry& registry);
    virtual void SaveToIniSection(TIniFile& ini);
    virtual void LoadFromRegistryKey(TRegistry& registry);
    virtual void LoadFromIniSection(TIniFile& ini);

    // Connection lifecycle (ComPortLifecycle.cpp).
    void Open();
    void Close();
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ApplyAllSettings();
    // Opens the port when Connected was read as true; a failure goes to the
    // application's error handler.
    void FinishLoading() override;

    // Re-applications: each does nothing while closed or Loading (ComPortLifecycle.cpp).
    virtual void ApplyControlBlock();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSizes();

    // The records the applies send, built from the present settings (ComPortRecords.cpp).
    comm::DCB BuildControlBlock() const;
    comm::COMMTIMEOUTS BuildTimeouts() const;

    // Transfers and line state (ComTransfer.cpp).
    std::int32_t Write(const void* buffer, std::int32_t count);
    std::int32_t Read(void* buffer, std::int32_t count);
    std::int32_t StartWrite(const void* buffer, std::int32_t count, TComTransfer*& transfer);
    std::int32_t StartRead(void* buffer, std::int32_t count, TComTransfer*& transfer);
    std::int32_t WaitForTransfer(TComTransfer*& transfer);
    void InitTransfer(TComTransfer*& transfer);
    void DoneTransfer(TComTransfer*& transfer);
    std::int32_t ReceivedCount();
    TComLineSignals LineSignals();
    TComErrors TakeLineErrors();
    void AbortTransfers();

    // Event handling steps, run by the dispatch for each detected event (ComPortEvents.cpp).
    void HandleError();
    void HandleRxChar();
    void HandleTxEmpty();
    void HandleBreak();
    void HandleRing();
    void HandleCTSChange();
    void HandleDSRChange();
    void HandleRxFlag();
    void HandleRLSDChange();
    void HandleRx80Full();
    // The message handler of the hidden window (smWindowSync; ComPortDispatch.cpp).
    std::intptr_t HandlePortMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    // Device access.
    comm::THandle Handle() const { return handle_.load(std::memory_order_acquire); }
    TComDevice& Device() const { return device_; }
    // True while the event thread exists.
    bool ThreadCreated() const { return threadCreated_.load(std::memory_order_acquire); }

    // Properties (ComPort.cpp).
    bool Connected() const { return connected_.load(std::memory_order_acquire); }
    void SetConnected(bool value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::int32_t value);
    const std::string& Port() const { return port_; }
    // <windows.h> makes SetPort a macro for SetPortA or SetPortW, so the setter is
    // inline: included before this header, the macro's name becomes the setter; included
    // after, it names one of the two aliases.
    void SetPort(const std::string& value) { StorePort(value); }
#if defined(_WIN32) && !defined(SetPort)
    void SetPortA(const std::string& value) { StorePort(value); }
    void SetPortW(const std::string& value) { StorePort(value); }
#endif
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    std::uint8_t EventChar() const { return eventChar_; }
    void SetEventChar(std::uint8_t value);
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value);
    // The settings objects can be changed only through a port that can be.
    const TComBuffer& Buffer() const { return *buffer_; }
    TComBuffer& Buffer() { return *buffer_; }
    void SetBuffer(const TComBuffer& value);
    const TComParity& Parity() const { return *parity_; }
    TComParity& Parity() { return *parity_; }
    void SetParity(const TComParity& value);
    const TComTimeouts& Timeouts() const { return *timeouts_; }
    TComTimeouts& Timeouts() { return *timeouts_; }
    void SetTimeouts(const TComTimeouts& value);
    const TComFlowControl& FlowControl() const { return *flowControl_; }
    TComFlowControl& FlowControl() { return *flowControl_; }
    void SetFlowControl(const TComFlowControl& value);
    TSyncMethod SyncMethod() const { return syncMethod_.load(std::memory_order_acquire); }
    // Raises EComPort code 14 for a different value while the port is open.
    void SetSyncMethod(TSyncMethod value);
    TStoredGroups StoredGroups() const { return storedGroups_; }
    void SetStoredGroups(TStoredGroups value);
    bool ReportRxCount() const { return reportRxCount_.load(std::memory_order_relaxed); }
    void SetReportRxCount(bool value);
    TComThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TComThreadPriority value);

    // Handler properties.
    TRxCharEvent OnRxChar() const { return onRxChar_.Get(); }
    void SetOnRxChar(TRxCharEvent h) { onRxChar_.Set(std::move(h)); }
    TRxBufEvent OnRxBuf() const { return onRxBuf_.Get(); }
    void SetOnRxBuf(TRxBufEvent h) { onRxBuf_.Set(std::move(h)); }
    TNotifyEvent OnTxEmpty() const { return onTxEmpty_.Get(); }
    void SetOnTxEmpty(TNotifyEvent h) { onTxEmpty_.Set(std::move(h)); }
    TNotifyEvent OnBreak() const { return onBreak_.Get(); }
    void SetOnBreak(TNotifyEvent h) { onBreak_.Set(std::move(h)); }
    TNotifyEvent OnRing() const { return onRing_.Get(); }
    void SetOnRing(TNotifyEvent h) { onRing_.Set(std::move(h)); }
    TComSignalEvent OnCTSChange() const { return onCTSChange_.Get(); }
    void SetOnCTSChange(TComSignalEvent h) { onCTSChange_.Set(std::move(h)); }
    TComSignalEvent OnDSRChange() const { return onDSRChange_.Get(); }
    void SetOnDSRChange(TComSignalEvent h) { onDSRChange_.Set(std::move(h)); }
    TComSignalEvent OnRLSDChange() const { return onRLSDChange_.Get(); }
    void SetOnRLSDChange(TComSignalEvent h) { onRLSDChange_.Set(std::move(h)); }
    TComErrorEvent OnError() const { return onError_.Get(); }
    void SetOnError(TComErrorEvent h) { onError_.Set(std::move(h)); }
    TNotifyEvent OnRxFlag() const { return onRxFlag_.Get(); }
    void SetOnRxFlag(TNotifyEvent h) { onRxFlag_.Set(std::move(h)); }
    TNotifyEvent OnAfterOpen() const { return onAfterOpen_.Get(); }
    void SetOnAfterOpen(TNotifyEvent h) { onAfterOpen_.Set(std::move(h)); }
    TNotifyEvent OnAfterClose() const { return onAfterClose_.Get(); }
    void SetOnAfterClose(TNotifyEvent h) { onAfterClose_.Set(std::move(h)); }
    TNotifyEvent OnBeforeOpen() const { return onBeforeOpen_.Get(); }
    void SetOnBeforeOpen(TNotifyEvent h) { onBeforeOpen_.Set(std::move(h)); }
    TNotifyEvent OnBeforeClose() const { return onBeforeClose_.Get(); }
    void SetOnBeforeClose(TNotifyEvent h) { onBeforeClose_.Set(std::move(h)); }
    TNotifyEvent OnRx80Full() const { return onRx80Full_.Get(); }
    void SetOnRx80Full(TNotifyEvent h) { onRx80Full_.Set(std::move(h)); }

protected:
    // Hooks through which every handler property is called (ComPortEvents.cpp).
    virtual void NotifyAfterClose();
    virtual void NotifyAfterOpen();
    virtual void NotifyBeforeClose();
    virtual void NotifyBeforeOpen();
    virtual void NotifyRxChar(std::int32_t count);
    virtual void NotifyRxBuf(const void* buffer, std::int32_t count);
    virtual void NotifyTxEmpty();
    virtual void NotifyBreak();
    virtual void NotifyRing();
    virtual void NotifyRxFlag();
    virtual void NotifyCTSChange(bool onOff);
    virtual void NotifyDSRChange(bool onOff);
    virtual void NotifyError(TComErrors errors);
    virtual void NotifyRLSDChange(bool onOff);
    virtual void NotifyRx80Full();

private:
    friend class TComThread;

    // Runs the handling step of each detected event, in the fixed order (ComPortDispatch.cpp).
    void ProcessEvents(TComEvents detected);
    void RunMessageStep(comm::DWORD maskBit);
    // The window the event thread sends its messages to (smWindowSync).
    wnd::HWND EventWindow() const { return window_.load(std::memory_order_acquire); }

    // ComPortLifecycle.cpp
    void StartEventThread();
    void StopEventThread();
    void ReleaseEventWindow();
    void ReportOpened();
    void ReportClosing();
    bool CanApply() const;
    // ComPort.cpp
    void StorePort(const std::string& value);

    TComDevice& device_;
    std::unique_ptr<TComThread> eventThread_;
    std::atomic<bool> threadCreated_{false};
    std::atomic<comm::THandle> handle_{comm::kInvalidHandle};
    std::atomic<wnd::HWND> window_{0};
    std::atomic<bool> reportRxCount_{true};
    TComThreadPriority eventThreadPriority_ = cpNormal;
    std::atomic<bool> connected_{false};
    bool closing_ = false;
    TBaudRate baudRate_ = br9600;
    std::int32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    std::uint8_t eventChar_ = 0;
    TComEvents events_ = AllComEvents;
    std::unique_ptr<TComBuffer> buffer_;
    std::unique_ptr<TComParity> parity_;
    std::unique_ptr<TComTimeouts> timeouts_;
    std::unique_ptr<TComFlowControl> flowControl_;
    std::atomic<TSyncMethod> syncMethod_{smThreadSync};
    TStoredGroups storedGroups_{sgBasic};

    TComHandler<TRxCharEvent> onRxChar_;
    TComHandler<TRxBufEvent> onRxBuf_;
    TComHandler<TNotifyEvent> onTxEmpty_;
    TComHandler<TNotifyEvent> onBreak_;
    TComHandler<TNotifyEvent> onRing_;
    TComHandler<TComSignalEvent> onCTSChange_;
    TComHandler<TComSignalEvent> onDSRChange_;
    TComHandler<TComSignalEvent> onRLSDChange_;
    TComHandler<TComErrorEvent> onError_;
    TComHandler<TNotifyEvent> onRxFlag_;
    TComHandler<TNotifyEvent> onAfterOpen_;
    TComHandler<TNotifyEvent> onAfterClose_;
    TComHandler<TNotifyEvent> onBeforeOpen_;
    TComHandler<TNotifyEvent> onBeforeClose_;
    TComHandler<TNotifyEvent> onRx80Full_;
};

// The port of a stored form; adds nothing to its base.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};
