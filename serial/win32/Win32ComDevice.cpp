#include "serial/win32/Win32ComDevice.h"

#include "serial/win32/WinApi.h"

#include <algorithm>

using namespace comm;

static_assert(sizeof(COMMTIMEOUTS) == 20 && sizeof(COMSTAT) == 12 && sizeof(OVERLAPPED) == 32);

namespace {

// Keeps the calling thread's last error across the layer's own bookkeeping.
class KeepLastError {
public:
    KeepLastError() : code_(winapi::LastError()) {}
    ~KeepLastError() { winapi::SetLastError(code_); }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;
    winapi::U32 Code() const { return code_; }

private:
    winapi::U32 code_;
};

} // namespace

THandle Win32ComDevice::OpenPort(const std::string& name)
{
    const THandle h = winapi::OpenPort(name);
    return h == -1 ? kInvalidHandle : h;
}

bool Win32ComDevice::CloseHandle(THandle handle)
{
    {
        std::lock_guard lock(mutex_);
        std::erase_if(pending_, [handle](const Pending& p) { return p.device == handle; });
    }
    return winapi::CloseHandle(handle);
}

DWORD Win32ComDevice::GetLastError()
{
    return winapi::LastError();
}

bool Win32ComDevice::SetupComm(THandle device, DWORD inQueue, DWORD outQueue)
{
    return winapi::SetupComm(device, inQueue, outQueue);
}

bool Win32ComDevice::SetCommState(THandle device, const DCB& dcb)
{
    return winapi::SetCommState(device, &dcb);
}

bool Win32ComDevice::SetCommTimeouts(THandle device, const COMMTIMEOUTS& timeouts)
{
    return winapi::SetCommTimeouts(device, &timeouts);
}

bool Win32ComDevice::WriteFile(THandle device, const void* buffer, DWORD count, DWORD* done,
                               OVERLAPPED* overlapped)
{
    const bool ok = winapi::WriteFile(device, buffer, count, done, overlapped);
    return Started(ok, device, overlapped, done, Kind::Write);
}

bool Win32ComDevice::ReadFile(THandle device, void* buffer, DWORD count, DWORD* done,
                              OVERLAPPED* overlapped)
{
    const bool ok = winapi::ReadFile(device, buffer, count, done, overlapped);
    return Started(ok, device, overlapped, done, Kind::Read);
}

bool Win32ComDevice::Started(bool ok, THandle device, OVERLAPPED* overlapped, DWORD* done, Kind kind,
                             DWORD* mask)
{
    if (ok || !overlapped)
        return ok;
    KeepLastError error;
    if (error.Code() == kErrorIoPending) {
        std::lock_guard lock(mutex_);
        pending_.push_back({device, overlapped, kind, mask, false});
        return false;
    }
    // A transfer whose time-outs ran out at once: some systems fail it, Windows
    // completes it with the count it reached.
    if (kind != Kind::Wait && error.Code() == winapi::kErrorTimeout) {
        if (done)
            *done = static_cast<DWORD>(overlapped->InternalHigh);
        winapi::SetEvent(overlapped->hEvent);
        return true;
    }
    return false;
}

bool Win32ComDevice::GetOverlappedResult(THandle device, OVERLAPPED* overlapped, DWORD* done, bool wait)
{
    DWORD* mask = nullptr;
    if (winapi::GetOverlappedResult(device, overlapped, done, wait)) {
        Finished(overlapped, &mask);
        return true;
    }
    KeepLastError error;
    if (error.Code() == winapi::kErrorIoIncomplete)
        return false;
    const bool ended = Finished(overlapped, &mask);
    if (ended && error.Code() == winapi::kErrorOperationAborted) {
        if (mask)
            *mask = 0;  // a wait ended by a new mask saw no event
        return true;
    }
    // A transfer ended by its time-outs: done, with the count it reached.
    return !mask && error.Code() == winapi::kErrorTimeout;
}

bool Win32ComDevice::Finished(OVERLAPPED* overlapped, DWORD** mask)
{
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [overlapped](const Pending& p) { return p.overlapped == overlapped; });
    if (it == pending_.end())
        return false;
    const bool ended = it->ended;
    *mask = it->mask;
    pending_.erase(it);
    return ended;
}

void Win32ComDevice::End(THandle device, Kind kind)
{
    std::lock_guard lock(mutex_);
    for (Pending& p : pending_) {
        if (p.device == device && p.kind == kind) {
            p.ended = true;
            winapi::CancelIoEx(device, p.overlapped);
        }
    }
}

// A new mask ends a pending wait with no events.
bool Win32ComDevice::SetCommMask(THandle device, DWORD mask)
{
    if (!winapi::SetCommMask(device, mask))
        return false;
    End(device, Kind::Wait);
    winapi::SetLastError(0);
    return true;
}

bool Win32ComDevice::WaitCommEvent(THandle device, DWORD* mask, OVERLAPPED* overlapped)
{
    const bool ok = winapi::WaitCommEvent(device, mask, overlapped);
    return Started(ok, device, overlapped, nullptr, Kind::Wait, mask);
}

bool Win32ComDevice::ClearCommError(THandle device, DWORD* errors, COMSTAT* status)
{
    return winapi::ClearCommError(device, errors, status);
}

bool Win32ComDevice::GetCommModemStatus(THandle device, DWORD* status)
{
    return winapi::GetCommModemStatus(device, status);
}

// The abort flags are done by cancelling the port's pending transfers (some systems
// leave a pending read to its time-outs, and some flush the line's output queue for
// them, dropping bytes of writes that have completed). The output clear is left out for
// that reason too: bytes of a completed write are never taken back. The input clear
// goes to the system.
bool Win32ComDevice::PurgeComm(THandle device, DWORD flags)
{
    if ((flags & kPurgeRxClear) && !winapi::PurgeComm(device, kPurgeRxClear))
        return false;
    if (flags & kPurgeTxAbort)
        End(device, Kind::Write);
    if (flags & kPurgeRxAbort)
        End(device, Kind::Read);
    winapi::SetLastError(0);
    return true;
}

THandle Win32ComDevice::NewEvent(bool manualReset, bool initialState)
{
    return winapi::NewEvent(manualReset, initialState);
}

bool Win32ComDevice::SetEvent(THandle event)
{
    return winapi::SetEvent(event);
}

bool Win32ComDevice::ResetEvent(THandle event)
{
    return winapi::ResetEvent(event);
}

DWORD Win32ComDevice::WaitForSingleObject(THandle event, DWORD milliseconds)
{
    return winapi::WaitForMultipleObjects(1, &event, false, milliseconds);
}

DWORD Win32ComDevice::WaitForMultipleObjects(DWORD count, const THandle* events, bool waitAll,
                                             DWORD milliseconds)
{
    return winapi::WaitForMultipleObjects(count, events, waitAll, milliseconds);
}
