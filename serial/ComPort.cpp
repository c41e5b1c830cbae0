// Construction, destruction and the property setters of the port.
#include "serial/CPort.h"

#include "serial/ComThread.h"

#include "runtime/ErrorHook.h"

using namespace comm;

TCustomComPort::TCustomComPort(TComponent* owner, TComDevice* device)
    : TComponent(owner), device_(device ? *device : SystemComDevice())
{
    parity_ = std::make_unique<TComParity>(this);
    flowControl_ = std::make_unique<TComFlowControl>(this);
    timeouts_ = std::make_unique<TComTimeouts>(this);
    buffer_ = std::make_unique<TComBuffer>(this);
}

TCustomComPort::~TCustomComPort()
{
    // Destroyed before FinishLoading: Connected was only recorded, nothing is open.
    if (Loading() && Handle() == kInvalidHandle && !ThreadCreated())
        connected_.store(false, std::memory_order_release);
    try {
        Close();
    } catch (...) {
        // A destructor cannot raise: the error goes where every unhandled one goes.
        HandleCurrentException();
        // The port goes all the same: its thread must not outlive it, nor its device
        // stay open and locked.
        closing_ = true;
        StopEventThread();
        CloseDevice();
        connected_.store(false, std::memory_order_release);
    }
    buffer_.reset();
    flowControl_.reset();
    timeouts_.reset();
    parity_.reset();
}

void TCustomComPort::SetConnected(bool value)
{
    if (Loading()) {
        connected_.store(value, std::memory_order_release);
        return;
    }
    if (value)
        Open();
    else
        Close();
}

// A changed control-block setting is stored, then the whole DCB is re-sent.
#define VORN_DCB_SETTER(Name, Type, field) \
    void TCustomComPort::Set##Name(Type value) \
    {                                          \
        if (field == value)                    \
            return;                            \
        field = value;                         \
        ApplyControlBlock();                   \
    }

VORN_DCB_SETTER(BaudRate, TBaudRate, baudRate_)
VORN_DCB_SETTER(CustomBaudRate, std::int32_t, customBaudRate_)
VORN_DCB_SETTER(StopBits, TStopBits, stopBits_)
VORN_DCB_SETTER(DataBits, TDataBits, dataBits_)
VORN_DCB_SETTER(DiscardNull, bool, discardNull_)
VORN_DCB_SETTER(EventChar, std::uint8_t, eventChar_)

void TCustomComPort::SetPort(const std::string& value)
{
    if (port_ == value)
        return;
    port_ = value;
    if (Connected() && !Loading()) {
        Close();
        Open();
    }
}

void TCustomComPort::SetEvents(TComEvents value) { events_ = value; }
void TCustomComPort::SetStoredGroups(TStoredGroups value) { storedGroups_ = value; }
void TCustomComPort::SetEventThreadPriority(TComThreadPriority value) { eventThreadPriority_ = value; }

void TCustomComPort::SetReportRxCount(bool value)
{
    reportRxCount_.store(value, std::memory_order_relaxed);
}

void TCustomComPort::SetSyncMethod(TSyncMethod value)
{
    if (value == SyncMethod())
        return;
    // The delivery path of a running event thread must not change under it.
    if (Connected() && !Loading())
        throw EComPort(CError_ConnChangeProp);
    syncMethod_.store(value, std::memory_order_release);
}

void TCustomComPort::SetParity(const TComParity& value)
{
    parity_->Assign(value);
    ApplyControlBlock();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& value)
{
    flowControl_->Assign(value);
    ApplyControlBlock();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& value)
{
    timeouts_->Assign(value);
    ApplyTimeoutSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& value)
{
    buffer_->Assign(value);
    ApplyBufferSizes();
}
