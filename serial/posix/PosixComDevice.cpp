#include "serial/posix/PosixComDevice.h"
#include "serial/posix/Event.h"
#include "serial/posix/Operations.h"
#include "serial/posix/PortName.h"
#include "serial/posix/Port.h"
#include "serial/posix/Wait.h"

#include <atomic>
#include <cerrno>

using namespace comm;

namespace {

constexpr DWORD ErrorIoIncomplete = 996;
constexpr DWORD MaxWaitObjects = 64;
thread_local DWORD lastError = 0;

bool Failed(DWORD error)
{
    lastError = error;
    return false;
}

std::uintptr_t Status(const OVERLAPPED* overlapped)
{
    return std::atomic_ref<const std::uintptr_t>(overlapped->Internal).load(std::memory_order_acquire);
}

void MarkPending(OVERLAPPED* overlapped)
{
    overlapped->InternalHigh = 0;
    std::atomic_ref<std::uintptr_t>(overlapped->Internal).store(StatusPending, std::memory_order_relaxed);
}

} // namespace

template <typename T, typename Use>
bool PosixComDevice::With(THandle handle, Use use)
{
    auto object = handles_.Find<T>(handle);
    return object ? use(object) : Failed(EBADF);
}

THandle PosixComDevice::OpenPort(const std::string& name)
{
    auto port = PosixPort::Open(DevicePathForPort(name), output_);
    if (!port) {
        lastError = static_cast<DWORD>(errno);
        return kInvalidHandle;
    }
    return handles_.Add(std::move(port));
}

bool PosixComDevice::CloseHandle(THandle handle)
{
    auto object = handles_.Remove(handle);
    if (!object)
        return Failed(EBADF);
    object->Closed();
    return true;
}

DWORD PosixComDevice::GetLastError()
{
    return lastError;
}

bool PosixComDevice::SetupComm(THandle device, DWORD inQueue, DWORD outQueue)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        port->SetQueues(inQueue, outQueue);
        return true;
    });
}

bool PosixComDevice::SetCommState(THandle device, const DCB& dcb)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        return port->SetState(dcb) || Failed(static_cast<DWORD>(errno));
    });
}

bool PosixComDevice::SetCommTimeouts(THandle device, const COMMTIMEOUTS& timeouts)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        port->SetTimeouts(timeouts);
        return true;
    });
}

bool PosixComDevice::Result(OVERLAPPED* overlapped, DWORD* done)
{
    std::uintptr_t status = Status(overlapped);
    if (status == StatusPending)
        return Failed(ErrorIoIncomplete);
    if (done)
        *done = static_cast<DWORD>(overlapped->InternalHigh);
    return status == 0 || Failed(static_cast<DWORD>(status));
}

template <typename MakeOp>
bool PosixComDevice::Start(THandle device, OVERLAPPED* overlapped, DWORD* done, MakeOp make)
{
    if (done)
        *done = 0;
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        if (!overlapped) {  // a plain blocking call: the same work, waited for here
            OVERLAPPED local{};
            auto event = std::make_shared<PosixEvent>(true, false);
            MarkPending(&local);
            if (!StartOp(make(port, &local, event), *event, *port) &&
                WaitForEvents({&event, 1}, kInfinite) != kWaitObject0)
                return Failed(static_cast<DWORD>(errno));
            return Result(&local, done);
        }
        auto event = handles_.Find<PosixEvent>(overlapped->hEvent);
        if (!event)
            return Failed(EINVAL);
        MarkPending(overlapped);
        if (!StartOp(make(port, overlapped, event), *event, *port))
            return Failed(kErrorIoPending);
        if (Status(overlapped) != 0)
            event->Reset();  // failed at once: nothing to wait for
        return Result(overlapped, done);
    });
}

bool PosixComDevice::WriteFile(THandle device, const void* buffer, DWORD count, DWORD* done,
                               OVERLAPPED* overlapped)
{
    if (!buffer && count)
        return Failed(EFAULT);
    return Start(device, overlapped, done, [&](auto port, OVERLAPPED* o, auto event) {
        return MakeWriteOp(std::move(port), o, std::move(event), buffer, count);
    });
}

bool PosixComDevice::ReadFile(THandle device, void* buffer, DWORD count, DWORD* done,
                              OVERLAPPED* overlapped)
{
    if (!buffer && count)
        return Failed(EFAULT);
    return Start(device, overlapped, done, [&](auto port, OVERLAPPED* o, auto event) {
        return MakeReadOp(std::move(port), o, std::move(event), buffer, count);
    });
}

bool PosixComDevice::GetOverlappedResult(THandle, OVERLAPPED* overlapped, DWORD* done, bool wait)
{
    if (!overlapped)
        return Failed(EINVAL);
    if (Status(overlapped) == StatusPending) {
        auto event = handles_.Find<PosixEvent>(overlapped->hEvent);
        if (!event)
            return Failed(EINVAL);
        if (!wait)
            event->Check();
        else if (WaitForEvents({&event, 1}, kInfinite) != kWaitObject0)
            return Failed(static_cast<DWORD>(errno));
    }
    return Result(overlapped, done);
}

bool PosixComDevice::SetCommMask(THandle device, DWORD mask)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        port->SetMask(mask);
        for (auto& wait : port->Pending(OpKind::Wait))
            wait->Abort();  // a pending wait ends with no events
        return true;
    });
}

bool PosixComDevice::WaitCommEvent(THandle device, DWORD* mask, OVERLAPPED* overlapped)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        if (!mask)
            return Failed(EFAULT);
        if (port->HasPending(OpKind::Wait))
            return Failed(EINVAL);
        if (port->HungUp() || port->Mask() == 0) {
            // Fails at once with the event reset, so an event loop that waits regardless
            // blocks until it is stopped rather than spinning.
            if (overlapped)
                if (auto event = handles_.Find<PosixEvent>(overlapped->hEvent))
                    event->Reset();
            return Failed(port->HungUp() ? EIO : EINVAL);
        }
        return Start(device, overlapped, nullptr, [&](auto p, OVERLAPPED* o, auto event) {
            return MakeWaitOp(std::move(p), o, std::move(event), mask);
        });
    });
}

bool PosixComDevice::ClearCommError(THandle device, DWORD* errors, COMSTAT* status)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        DWORD in = 0;
        DWORD out = 0;
        if (!port->InQueue(&in) || !port->OutQueue(&out))
            return Failed(static_cast<DWORD>(errno));
        DWORD found = port->TakeErrors();
        if (errors)
            *errors = found;
        if (status)
            *status = COMSTAT{0, in, out};
        return true;
    });
}

bool PosixComDevice::GetCommModemStatus(THandle device, DWORD* status)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        if (!status)
            return Failed(EFAULT);
        return port->ModemStatus(status) || Failed(static_cast<DWORD>(errno));
    });
}

bool PosixComDevice::PurgeComm(THandle device, DWORD flags)
{
    return With<PosixPort>(device, [&](const std::shared_ptr<PosixPort>& port) {
        if (flags & ~(kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear))
            return Failed(EINVAL);
        if (flags & kPurgeTxAbort)
            for (auto& op : port->Pending(OpKind::Write))
                op->Abort();
        if (flags & kPurgeRxAbort)
            for (auto& op : port->Pending(OpKind::Read))
                op->Abort();
        if ((flags & kPurgeTxClear) && !port->DropOutput())
            return Failed(static_cast<DWORD>(errno));
        if ((flags & kPurgeRxClear) && !port->DropInput())
            return Failed(static_cast<DWORD>(errno));
        return true;
    });
}

THandle PosixComDevice::NewEvent(bool manualReset, bool initialState)
{
    return handles_.Add(std::make_shared<PosixEvent>(manualReset, initialState));
}

bool PosixComDevice::SetEvent(THandle handle)
{
    return With<PosixEvent>(handle, [&](const std::shared_ptr<PosixEvent>& event) {
        event->Set();
        return true;
    });
}

bool PosixComDevice::ResetEvent(THandle handle)
{
    return With<PosixEvent>(handle, [&](const std::shared_ptr<PosixEvent>& event) {
        event->Reset();
        return true;
    });
}

DWORD PosixComDevice::WaitForSingleObject(THandle handle, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &handle, false, milliseconds);
}

DWORD PosixComDevice::WaitForMultipleObjects(DWORD count, const THandle* handles, bool waitAll,
                                             DWORD milliseconds)
{
    if (waitAll || count == 0 || count > MaxWaitObjects || !handles) {
        lastError = EINVAL;
        return kWaitFailed;
    }
    std::vector<std::shared_ptr<PosixEvent>> events;
    events.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto event = handles_.Find<PosixEvent>(handles[i]);
        if (!event) {
            lastError = EBADF;
            return kWaitFailed;
        }
        events.push_back(std::move(event));
    }
    DWORD result = WaitForEvents(events, milliseconds);
    if (result == kWaitFailed)
        lastError = static_cast<DWORD>(errno);
    return result;
}
