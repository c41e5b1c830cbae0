// Construction, destruction and the property setters of the port.
#include "serial/CPort.h"

#include "serial/ComThread.h"

#include "runtime/ErrorHook.h"

using namespace comm;

namespace {

// A changed control-block setting re-sends the whole DCB.
template <typename T>
void StoreControl(TCustomComPort& port, T& field, const T& value)
{
    StoreChanged(field, value, [&port] { port.ApplyControlBlock(); });
}

} // namespace

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

void TCustomComPort::SetBaudRate(TBaudRate value) { StoreControl(*this, baudRate_, value); }
void TCustomComPort::SetCustomBaudRate(std::int32_t value) { StoreControl(*this, customBaudRate_, value); }
void TCustomComPort::SetStopBits(TStopBits value) { StoreControl(*this, stopBits_, value); }
void TCustomComPort::SetDataBits(TDataBits value) { StoreControl(*this, dataBits_, value); }
void TCustomComPort::SetDiscardNull(bool value) { StoreControl(*this, discardNull_, value); }
void TCustomComPort::SetEventChar(std::uint8_t value) { StoreControl(*this, eventChar_, value); }

void TCustomComPort::StorePort(const std::string& value)
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
