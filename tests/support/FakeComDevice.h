// A scripted TComDevice for what a pseudo-terminal cannot give: refused calls, line errors,
// modem lines and line events of every kind (the rest is tested through SystemComDevice()).
// - Every call is recorded (name, handle, two numbers) and fails when scripted to; a
//   failed call touches nothing. OpenPort gives DeviceHandle; the fake moves no bytes.
// - Events are the system layer's own, so waits block and wake as on a real port.
// - WaitCommEvent completes at once with the oldest mask given to PostCommEvent, or goes
//   pending until the next one; SetCommMask completes a pending wait with mask 0.
#pragma once

#include "serial/ComDevice.h"
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct FakeCall {
    std::string Name;  // the TComDevice member, e.g. "SetCommMask"
    comm::THandle Handle = 0;
    comm::DWORD A = 0;  // mask, flags, input queue size, manual reset
    comm::DWORD B = 0;  // output queue size, number of handles waited on, initial state
};

class FakeComDevice : public TComDevice {
public:
    static constexpr comm::THandle DeviceHandle = 0x1000;

    // `call` fails with `error` once `after` calls have passed, `times` times (-1: always).
    void Fail(const std::string& call, comm::DWORD error, int times = -1, int after = 0)
    {
        std::lock_guard lock(mutex_);
        scripts_[call] = Script{error, times, after};
    }
    void PostCommEvent(comm::DWORD mask)
    {
        std::lock_guard lock(mutex_);
        if (waitOverlapped_)
            CompleteWait(mask);
        else
            posted_.push_back(mask);
    }
    std::atomic<comm::DWORD> CommErrors{0}, InQueue{0}, ModemStatus{0};  // what the device reports; errors once

    int Count(const std::string& call) const
    {
        std::lock_guard lock(mutex_);
        return CountLocked(call);
    }
    FakeCall Last(const std::string& call) const  // empty when never called
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(calls_.rbegin(), calls_.rend(), [&](auto& c) { return c.Name == call; });
        return found == calls_.rend() ? FakeCall{} : *found;
    }
    int LiveEvents() const
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(events_.size());
    }
    void ClearCalls()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    bool WaitForCall(const std::string& call, int count,
                     std::chrono::milliseconds within = std::chrono::milliseconds(1000)) const
    {
        std::unique_lock lock(mutex_);
        return called_.wait_for(lock, within, [&] { return CountLocked(call) >= count; });
    }

    comm::THandle OpenPort(const std::string&) override
    {
        return Pass("OpenPort", 0) ? DeviceHandle : comm::kInvalidHandle;
    }
    bool CloseHandle(comm::THandle handle) override
    {
        return Pass("CloseHandle", handle, 0, 0, [&] {
            if (waitOverlapped_ && waitOverlapped_->hEvent == handle)
                waitOverlapped_ = nullptr;
            if (events_.erase(handle))
                return System().CloseHandle(handle);
            return handle == DeviceHandle || Failed(EBADF);
        });
    }
    comm::DWORD GetLastError() override { return LastError(); }
    bool SetupComm(comm::THandle h, comm::DWORD in, comm::DWORD out) override { return Pass("SetupComm", h, in, out); }
    bool SetCommState(comm::THandle device, const comm::DCB&) override { return Pass("SetCommState", device); }
    bool SetCommTimeouts(comm::THandle h, const comm::COMMTIMEOUTS&) override { return Pass("SetCommTimeouts", h); }
    bool WriteFile(comm::THandle, const void*, comm::DWORD, comm::DWORD*, comm::OVERLAPPED*) override { return Failed(ENOSYS); }
    bool ReadFile(comm::THandle, void*, comm::DWORD, comm::DWORD*, comm::OVERLAPPED*) override { return Failed(ENOSYS); }
    bool GetOverlappedResult(comm::THandle device, comm::OVERLAPPED* overlapped, comm::DWORD* done, bool wait) override
    {
        return Pass("GetOverlappedResult", device, wait, 0, [&] {
            *done = static_cast<comm::DWORD>(overlapped->InternalHigh);
            return true;
        });
    }
    bool SetCommMask(comm::THandle device, comm::DWORD mask) override
    {
        return Pass("SetCommMask", device, mask, 0, [&] {
            posted_.clear();
            if (waitOverlapped_)
                CompleteWait(0);
            return true;
        });
    }
    bool WaitCommEvent(comm::THandle device, comm::DWORD* mask, comm::OVERLAPPED* overlapped) override
    {
        return Pass("WaitCommEvent", device, 0, 0, [&] {
            overlapped->InternalHigh = 0;
            overlapped->Internal = 0x103;  // pending
            System().ResetEvent(overlapped->hEvent);
            waitMask_ = mask;
            waitOverlapped_ = overlapped;
            if (posted_.empty())
                return Failed(comm::kErrorIoPending);
            CompleteWait(posted_.front());
            posted_.pop_front();
            return true;
        });
    }
    bool ClearCommError(comm::THandle device, comm::DWORD* errors, comm::COMSTAT* status) override
    {
        return Pass("ClearCommError", device, 0, 0, [&] {
            *errors = CommErrors.exchange(0);
            *status = comm::COMSTAT{0, InQueue.load(), 0};
            return true;
        });
    }
    bool GetCommModemStatus(comm::THandle device, comm::DWORD* status) override
    {
        return Pass("GetCommModemStatus", device, 0, 0, [&] {
            *status = ModemStatus.load();
            return true;
        });
    }
    bool PurgeComm(comm::THandle device, comm::DWORD flags) override { return Pass("PurgeComm", device, flags); }
    comm::THandle NewEvent(bool manualReset, bool initialState) override
    {
        comm::THandle event = 0;
        Pass("NewEvent", 0, manualReset, initialState, [&] {
            event = System().NewEvent(manualReset, initialState);
            return events_.insert(event).second;
        });
        return event;
    }
    bool SetEvent(comm::THandle event) override { return System().SetEvent(event); }
    bool ResetEvent(comm::THandle event) override { return System().ResetEvent(event); }
    comm::DWORD WaitForSingleObject(comm::THandle e, comm::DWORD t) override { return System().WaitForSingleObject(e, t); }
    comm::DWORD WaitForMultipleObjects(comm::DWORD count, const comm::THandle* events, bool waitAll, comm::DWORD ms) override
    {
        Pass("WaitForMultipleObjects", events[0], ms, count);  // the wait itself is not held up
        return System().WaitForMultipleObjects(count, events, waitAll, ms);
    }

private:
    struct Script { comm::DWORD error; int times, after; };
    static TComDevice& System() { return SystemComDevice(); }
    static comm::DWORD& LastError()
    {
        static thread_local comm::DWORD error = 0;
        return error;
    }
    static bool Failed(comm::DWORD error)
    {
        LastError() = error;
        return false;
    }

    // Records the call; unless the script refuses it, runs `then` under the lock.
    template <typename Then = bool (*)()>
    bool Pass(const char* name, comm::THandle handle, comm::DWORD a = 0, comm::DWORD b = 0, Then then = [] { return true; })
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(FakeCall{name, handle, a, b});
        called_.notify_all();
        auto it = scripts_.find(name);
        if (it == scripts_.end() || it->second.after-- > 0)
            return then();
        LastError() = it->second.error;
        if (--it->second.times == 0)
            scripts_.erase(it);
        return false;
    }
    int CountLocked(const std::string& call) const
    {
        return static_cast<int>(std::ranges::count(calls_, call, &FakeCall::Name));
    }
    void CompleteWait(comm::DWORD mask)  // under mutex_
    {
        *waitMask_ = mask;
        waitOverlapped_->Internal = 0;
        System().SetEvent(waitOverlapped_->hEvent);
        waitOverlapped_ = nullptr;
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable called_;
    std::vector<FakeCall> calls_;
    std::map<std::string, Script> scripts_;
    std::set<comm::THandle> events_;
    std::deque<comm::DWORD> posted_;
    comm::DWORD* waitMask_ = nullptr;
    comm::OVERLAPPED* waitOverlapped_ = nullptr;
};
