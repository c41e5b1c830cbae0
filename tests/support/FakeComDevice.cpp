#include "FakeComDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::uintptr_t StatusPending = 0x103;
constexpr DWORD ErrorIoIncomplete = 996;
thread_local DWORD lastError = 0;

FakeCall Named(const char* name, THandle handle = 0, DWORD a = 0, DWORD b = 0)
{
    FakeCall call;
    call.Name = name;
    call.Handle = handle;
    call.A = a;
    call.B = b;
    return call;
}

} // namespace

// --- scripting ----------------------------------------------------------------------------

void FakeComDevice::Fail(const std::string& call, DWORD error, int times, int after)
{
    Lock lock(mutex_);
    scripts_[call] = Script{error, times, after};
}

void FakeComDevice::Succeed(const std::string& call)
{
    Lock lock(mutex_);
    scripts_.erase(call);
}

void FakeComDevice::QueueInput(const std::string& bytes)
{
    Lock lock(mutex_);
    input_ += bytes;
}

void FakeComDevice::SetInQueue(DWORD count)
{
    Lock lock(mutex_);
    inQueue_ = count;
}

void FakeComDevice::SetCommErrors(DWORD ceBits)
{
    Lock lock(mutex_);
    errors_ = ceBits;
}

void FakeComDevice::SetModemStatus(DWORD msBits)
{
    Lock lock(mutex_);
    modem_ = msBits;
}

void FakeComDevice::SetWriteLimit(DWORD maxTaken)
{
    Lock lock(mutex_);
    writeLimit_ = maxTaken;
}

void FakeComDevice::SetTransfersPending(bool pending)
{
    Lock lock(mutex_);
    transfersPending_ = pending;
}

void FakeComDevice::PostCommEvent(DWORD mask)
{
    Lock lock(mutex_);
    if (!waitOverlapped_) {
        posted_.push_back(mask);
        return;
    }
    *waitMask_ = mask;
    Complete(waitOverlapped_, 0);
    waitOverlapped_ = nullptr;
    waitMask_ = nullptr;
}

// --- inspection ---------------------------------------------------------------------------

std::vector<FakeCall> FakeComDevice::Calls() const
{
    Lock lock(mutex_);
    return calls_;
}

std::vector<std::string> FakeComDevice::Names() const
{
    Lock lock(mutex_);
    std::vector<std::string> names;
    for (const auto& call : calls_)
        names.push_back(call.Name);
    return names;
}

int FakeComDevice::Count(const std::string& call) const
{
    Lock lock(mutex_);
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const FakeCall& c) { return c.Name == call; }));
}

FakeCall FakeComDevice::Last(const std::string& call) const
{
    Lock lock(mutex_);
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
        if (it->Name == call)
            return *it;
    return FakeCall{};
}

std::string FakeComDevice::Written() const
{
    Lock lock(mutex_);
    return written_;
}

int FakeComDevice::LiveEvents() const
{
    Lock lock(mutex_);
    return static_cast<int>(events_.size());
}

bool FakeComDevice::WaitPending() const
{
    Lock lock(mutex_);
    return waitOverlapped_ != nullptr;
}

void FakeComDevice::ClearCalls()
{
    Lock lock(mutex_);
    calls_.clear();
}

bool FakeComDevice::WaitForCall(const std::string& call, int count,
                                std::chrono::milliseconds within) const
{
    Lock lock(mutex_);
    return changed_.wait_for(lock, within, [&] {
        return std::count_if(calls_.begin(), calls_.end(),
                             [&](const FakeCall& c) { return c.Name == call; }) >= count;
    });
}

// --- helpers ------------------------------------------------------------------------------

bool FakeComDevice::Enter(Lock&, FakeCall call)
{
    std::string name = call.Name;
    calls_.push_back(std::move(call));
    changed_.notify_all();
    return Fails(name);
}

bool FakeComDevice::Fails(const std::string& name)
{
    auto it = scripts_.find(name);
    if (it == scripts_.end())
        return false;
    Script& script = it->second;
    if (script.after > 0) {
        --script.after;
        return false;
    }
    lastError = script.error;
    if (script.times != Always && --script.times == 0)
        scripts_.erase(it);
    return true;
}

void FakeComDevice::Signal(THandle event, bool set)
{
    auto it = events_.find(event);
    if (it == events_.end())
        return;
    it->second.set = set;
    changed_.notify_all();
}

void FakeComDevice::Complete(OVERLAPPED* overlapped, DWORD count)
{
    overlapped->InternalHigh = count;
    overlapped->Internal = 0;
    Signal(overlapped->hEvent, true);
}

void FakeComDevice::FinishPending(THandle event)
{
    auto it = pending_.find(event);
    if (it == pending_.end())
        return;
    Pending done = it->second;
    pending_.erase(it);
    Complete(done.overlapped, done.count);
}

bool FakeComDevice::AnySet(DWORD count, const THandle* events, DWORD* index)
{
    for (DWORD i = 0; i < count; ++i) {
        auto it = events_.find(events[i]);
        if (it != events_.end() && it->second.set) {
            if (!it->second.manual)
                it->second.set = false;
            *index = i;
            return true;
        }
    }
    return false;
}

// --- TComDevice ---------------------------------------------------------------------------

THandle FakeComDevice::CreateFile(const std::string& name)
{
    Lock lock(mutex_);
    FakeCall call = Named("CreateFile");
    call.Text = name;
    return Enter(lock, std::move(call)) ? INVALID_HANDLE_VALUE : DeviceHandle;
}

bool FakeComDevice::CloseHandle(THandle handle)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("CloseHandle", handle)))
        return false;
    pending_.erase(handle);
    if (events_.erase(handle) || handle == DeviceHandle)
        return true;
    lastError = EBADF;
    return false;
}

DWORD FakeComDevice::GetLastError()
{
    return lastError;
}

bool FakeComDevice::SetupComm(THandle device, DWORD inQueue, DWORD outQueue)
{
    Lock lock(mutex_);
    return !Enter(lock, Named("SetupComm", device, inQueue, outQueue));
}

bool FakeComDevice::SetCommState(THandle device, const DCB& dcb)
{
    Lock lock(mutex_);
    FakeCall call = Named("SetCommState", device);
    call.Dcb = dcb;
    return !Enter(lock, std::move(call));
}

bool FakeComDevice::SetCommTimeouts(THandle device, const COMMTIMEOUTS& timeouts)
{
    Lock lock(mutex_);
    FakeCall call = Named("SetCommTimeouts", device);
    call.Timeouts = timeouts;
    return !Enter(lock, std::move(call));
}

bool FakeComDevice::WriteFile(THandle device, const void* buffer, DWORD count, DWORD* done,
                              OVERLAPPED* overlapped)
{
    Lock lock(mutex_);
    FakeCall call = Named("WriteFile", device, count);
    DWORD taken = std::min(count, writeLimit_);
    call.Text.assign(static_cast<const char*>(buffer), taken);
    if (Enter(lock, std::move(call)))
        return false;
    written_.append(static_cast<const char*>(buffer), taken);
    if (transfersPending_ && overlapped) {
        overlapped->Internal = StatusPending;
        Signal(overlapped->hEvent, false);
        pending_[overlapped->hEvent] = Pending{overlapped, taken};
        lastError = ERROR_IO_PENDING;
        return false;
    }
    if (done)
        *done = taken;
    if (overlapped)
        Complete(overlapped, taken);
    return true;
}

bool FakeComDevice::ReadFile(THandle device, void* buffer, DWORD count, DWORD* done,
                             OVERLAPPED* overlapped)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("ReadFile", device, count)))
        return false;
    DWORD got = std::min<DWORD>(count, static_cast<DWORD>(input_.size()));
    std::memcpy(buffer, input_.data(), got);
    input_.erase(0, got);
    if (transfersPending_ && overlapped) {
        overlapped->Internal = StatusPending;
        Signal(overlapped->hEvent, false);
        pending_[overlapped->hEvent] = Pending{overlapped, got};
        lastError = ERROR_IO_PENDING;
        return false;
    }
    if (done)
        *done = got;
    if (overlapped)
        Complete(overlapped, got);
    return true;
}

bool FakeComDevice::GetOverlappedResult(THandle device, OVERLAPPED* overlapped, DWORD* done,
                                        bool wait)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("GetOverlappedResult", device, wait)))
        return false;
    if (overlapped->Internal == StatusPending) {
        if (!wait) {
            lastError = ErrorIoIncomplete;
            return false;
        }
        FinishPending(overlapped->hEvent);
    }
    *done = static_cast<DWORD>(overlapped->InternalHigh);
    return true;
}

bool FakeComDevice::SetCommMask(THandle device, DWORD mask)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("SetCommMask", device, mask)))
        return false;
    posted_.clear();
    if (waitOverlapped_) {
        *waitMask_ = 0;
        Complete(waitOverlapped_, 0);
        waitOverlapped_ = nullptr;
        waitMask_ = nullptr;
    }
    return true;
}

bool FakeComDevice::WaitCommEvent(THandle device, DWORD* mask, OVERLAPPED* overlapped)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("WaitCommEvent", device)))
        return false;
    if (!posted_.empty()) {
        *mask = posted_.front();
        posted_.pop_front();
        Complete(overlapped, 0);
        return true;
    }
    overlapped->Internal = StatusPending;
    Signal(overlapped->hEvent, false);
    waitMask_ = mask;
    waitOverlapped_ = overlapped;
    lastError = ERROR_IO_PENDING;
    return false;
}

bool FakeComDevice::ClearCommError(THandle device, DWORD* errors, COMSTAT* status)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("ClearCommError", device)))
        return false;
    if (errors)
        *errors = errors_;
    errors_ = 0;
    if (status) {
        *status = COMSTAT{};
        status->cbInQue = input_.empty() ? inQueue_ : static_cast<DWORD>(input_.size());
    }
    return true;
}

bool FakeComDevice::GetCommModemStatus(THandle device, DWORD* status)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("GetCommModemStatus", device)))
        return false;
    *status = modem_;
    return true;
}

bool FakeComDevice::PurgeComm(THandle device, DWORD flags)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("PurgeComm", device, flags)))
        return false;
    if (flags & (PURGE_TXABORT | PURGE_RXABORT))
        while (!pending_.empty())
            FinishPending(pending_.begin()->first);
    if (flags & PURGE_RXCLEAR)
        input_.clear();
    return true;
}

THandle FakeComDevice::CreateEvent(bool manualReset, bool initialState)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("CreateEvent", 0, manualReset, initialState)))
        return 0;
    THandle handle = nextEvent_++;
    events_[handle] = Event{manualReset, initialState};
    return handle;
}

bool FakeComDevice::SetEvent(THandle event)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("SetEvent", event)))
        return false;
    Signal(event, true);
    return true;
}

bool FakeComDevice::ResetEvent(THandle event)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("ResetEvent", event)))
        return false;
    Signal(event, false);
    return true;
}

DWORD FakeComDevice::WaitForSingleObject(THandle event, DWORD milliseconds)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("WaitForSingleObject", event, milliseconds)))
        return WAIT_FAILED;
    return Wait(lock, 1, &event, false, milliseconds);
}

DWORD FakeComDevice::WaitForMultipleObjects(DWORD count, const THandle* events, bool waitAll,
                                            DWORD milliseconds)
{
    Lock lock(mutex_);
    if (Enter(lock, Named("WaitForMultipleObjects", count ? events[0] : 0, milliseconds, count)))
        return WAIT_FAILED;
    return Wait(lock, count, events, waitAll, milliseconds);
}

DWORD FakeComDevice::Wait(Lock& lock, DWORD count, const THandle* events, bool waitAll,
                          DWORD milliseconds)
{
    if (waitAll || count == 0) {
        lastError = EINVAL;
        return WAIT_FAILED;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (!events_.count(events[i])) {
            lastError = EBADF;
            return WAIT_FAILED;
        }
        FinishPending(events[i]);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    DWORD index = 0;
    for (;;) {
        if (AnySet(count, events, &index))
            return WAIT_OBJECT_0 + index;
        if (milliseconds == INFINITE) {
            changed_.wait(lock);
        } else if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return AnySet(count, events, &index) ? WAIT_OBJECT_0 + index : WAIT_TIMEOUT;
        }
    }
}
