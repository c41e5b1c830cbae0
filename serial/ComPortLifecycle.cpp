// Open, close and the application of the settings to the device.
#include "serial/CPort.h"

#include "serial/ComThread.h"

#include "runtime/ErrorHook.h"
#include "runtime/TextLookup.h"

#include <thread>

using namespace comm;
using namespace wnd;

namespace {

[[noreturn]] void RaiseLastError(TComDevice& device, int code)
{
    throw EComPort(code, static_cast<int>(device.GetLastError()));
}

} // namespace

void TCustomComPort::Open()
{
    if (Connected())
        return;
    NotifyBeforeOpen();
    OpenDevice();
    connected_.store(true, std::memory_order_release);
    try {
        ApplyAllSettings();
        StartEventThread();
    } catch (...) {
        CloseDevice();
        connected_.store(false, std::memory_order_release);
        throw;
    }
    ReportOpened();
}

void TCustomComPort::Close()
{
    if (!Connected() || closing_)
        return;
    // Waiting for the event thread from the event thread itself would never end.
    if (eventThread_ && eventThread_->Id() == std::this_thread::get_id())
        throw EInvalidOperation(RuntimeText("A port cannot be closed from its own event thread"));
    closing_ = true;
    try {
        ReportClosing();
        AbortTransfers();
        StopEventThread();
    } catch (...) {
        closing_ = false;
        throw;
    }
    CloseDevice();
    connected_.store(false, std::memory_order_release);
    closing_ = false;
    NotifyAfterClose();
}

void TCustomComPort::OpenDevice()
{
    const THandle handle = device_.OpenPort("\\\\.\\" + Port());
    if (handle == kInvalidHandle)
        RaiseLastError(device_, CError_OpenFailed);
    handle_.store(handle, std::memory_order_release);
}

void TCustomComPort::CloseDevice()
{
    const THandle handle = handle_.exchange(kInvalidHandle, std::memory_order_acq_rel);
    if (handle != kInvalidHandle)
        device_.CloseHandle(handle);
}

void TCustomComPort::ApplyAllSettings()
{
    ApplyBufferSizes();
    ApplyControlBlock();
    ApplyTimeoutSettings();
}

void TCustomComPort::FinishLoading()
{
    TComponent::FinishLoading();
    if (!Connected())
        return;
    connected_.store(false, std::memory_order_release);
    try {
        Open();
    } catch (...) {
        // Loading goes on; the window shows the error.
        HandleCurrentException();
    }
}

void TCustomComPort::StartEventThread()
{
    if (Events().Empty()) {
        threadCreated_.store(false, std::memory_order_release);
        return;
    }
    if (SyncMethod() == smWindowSync)
        window_.store(AllocateHWnd([this](std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
                          return HandlePortMessage(message, wParam, lParam);
                      }),
                      std::memory_order_release);
    try {
        eventThread_ = std::make_unique<TComThread>(*this);
    } catch (...) {
        ReleaseEventWindow();
        throw;
    }
    threadCreated_.store(true, std::memory_order_release);
}

void TCustomComPort::StopEventThread()
{
    if (!ThreadCreated())
        return;
    eventThread_.reset();
    threadCreated_.store(false, std::memory_order_release);
    ReleaseEventWindow();
}

void TCustomComPort::ReleaseEventWindow()
{
    if (const HWND window = window_.exchange(0, std::memory_order_acq_rel))
        DeallocateHWnd(window);
}

void TCustomComPort::ReportOpened()
{
    NotifyAfterOpen();
    HandleCTSChange();
    HandleDSRChange();
    HandleRLSDChange();
}

void TCustomComPort::ReportClosing()
{
    NotifyCTSChange(false);
    NotifyDSRChange(false);
    NotifyRLSDChange(false);
    NotifyBeforeClose();
}

bool TCustomComPort::CanApply() const { return Connected() && !Loading(); }

void TCustomComPort::ApplyBufferSizes()
{
    if (!CanApply())
        return;
    if (!device_.SetupComm(Handle(), static_cast<DWORD>(Buffer().InputSize()),
                           static_cast<DWORD>(Buffer().OutputSize())))
        RaiseLastError(device_, CError_SetupComFailed);
}

void TCustomComPort::ApplyControlBlock()
{
    if (!CanApply())
        return;
    if (!device_.SetCommState(Handle(), BuildControlBlock()))
        RaiseLastError(device_, CError_SetStateFailed);
}

void TCustomComPort::ApplyTimeoutSettings()
{
    if (!CanApply())
        return;
    if (!device_.SetCommTimeouts(Handle(), BuildTimeouts()))
        RaiseLastError(device_, CError_TimeoutsFailed);
}
