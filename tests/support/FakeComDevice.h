// A scripted TComDevice for the failure paths a real device cannot produce.
//
// It records every call with its arguments, fails the calls a test names, and has
// working manual-reset events (a thread blocked in WaitForMultipleObjects wakes when
// another thread sets one of its events), so it can drive an event thread.
//
// Typical use:
//     FakeComDevice fake;
//     fake.Fail("SetCommTimeouts", 31);           // every later SetCommTimeouts fails, error 31
//     TComPort port(nullptr, &fake);
//     EXPECT_THROW(port.Open(), EComPort);
//     EXPECT_EQ(fake.Names(), (std::vector<std::string>{"CreateFile", "SetupComm", ...}));
//     EXPECT_EQ(fake.LastDcb().BaudRate, 600u);
//
// Behaviour of the calls:
// - CreateFile returns DeviceHandle (0x1000) unless failed; CloseHandle accepts any handle.
// - WriteFile completes at once, appending the bytes to Written() (SetWriteLimit caps the
//   count taken, as a write time-out would). ReadFile completes at once with bytes given to
//   QueueInput. With SetTransfersPending(true) both return ERROR_IO_PENDING instead and
//   complete when their event is waited on, or at once on PurgeComm(PURGE_*ABORT).
// - WaitCommEvent completes at once with the oldest mask given to PostCommEvent; with none
//   queued it goes pending and PostCommEvent completes it from any thread. SetCommMask
//   completes a pending wait with mask 0, as the real device does.
// - ClearCommError reports SetCommErrors bits once (then clears them) and the input count
//   (queued input, or SetInQueue); GetCommModemStatus reports SetModemStatus.
// - A failed call touches nothing: no event is set or reset, no output variable written.
#pragma once

#include "serial/ComDevice.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// One recorded call. Unused fields stay zero.
struct FakeCall {
    std::string Name;     // the TComDevice member, e.g. "SetCommState"
    THandle Handle = 0;   // the device or event handle passed
    DWORD A = 0;  // count, mask, flags, input queue size, wait time, manual reset
    DWORD B = 0;  // output queue size, number of handles waited on, initial state
    std::string Text;     // CreateFile's name; WriteFile's bytes
    DCB Dcb{};            // SetCommState's record
    COMMTIMEOUTS Timeouts{};  // SetCommTimeouts's record
};

class FakeComDevice : public TComDevice {
public:
    static constexpr THandle DeviceHandle = 0x1000;
    static constexpr int Always = -1;

    FakeComDevice() = default;
    ~FakeComDevice() override = default;
    FakeComDevice(const FakeComDevice&) = delete;
    FakeComDevice& operator=(const FakeComDevice&) = delete;

    // --- scripting --------------------------------------------------------------------
    // Calls of `call` fail with `error`: the first `after` calls still succeed, then
    // `times` calls fail (Always: every one). Replaces an earlier script for `call`.
    void Fail(const std::string& call, DWORD error, int times = Always, int after = 0);
    void Succeed(const std::string& call);  // forget the script for `call`
    void QueueInput(const std::string& bytes);
    void SetInQueue(DWORD count);           // cbInQue reported when no input is queued
    void SetCommErrors(DWORD ceBits);       // reported by the next ClearCommError
    void SetModemStatus(DWORD msBits);
    void SetWriteLimit(DWORD maxTaken);     // WriteFile takes at most this many bytes
    void SetTransfersPending(bool pending);
    // Completes the pending WaitCommEvent with `mask`, or queues it for the next one.
    void PostCommEvent(DWORD mask);

    // --- inspection -------------------------------------------------------------------
    std::vector<FakeCall> Calls() const;
    std::vector<std::string> Names() const;  // the call names in order
    int Count(const std::string& call) const;
    FakeCall Last(const std::string& call) const;  // empty FakeCall when never called
    DCB LastDcb() const { return Last("SetCommState").Dcb; }
    COMMTIMEOUTS LastTimeouts() const { return Last("SetCommTimeouts").Timeouts; }
    std::string Written() const;
    int LiveEvents() const;  // events created and not yet closed
    bool WaitPending() const;  // a WaitCommEvent is pending
    void ClearCalls();
    // Blocks until `call` has been made at least `count` times in all, or the time is up.
    bool WaitForCall(const std::string& call, int count,
                     std::chrono::milliseconds within = std::chrono::milliseconds(1000)) const;

    // --- TComDevice -------------------------------------------------------------------
    THandle CreateFile(const std::string& name) override;
    bool CloseHandle(THandle handle) override;
    DWORD GetLastError() override;
    bool SetupComm(THandle device, DWORD inQueue, DWORD outQueue) override;
    bool SetCommState(THandle device, const DCB& dcb) override;
    bool SetCommTimeouts(THandle device, const COMMTIMEOUTS& timeouts) override;
    bool WriteFile(THandle device, const void* buffer, DWORD count, DWORD* done,
                   OVERLAPPED* overlapped) override;
    bool ReadFile(THandle device, void* buffer, DWORD count, DWORD* done,
                  OVERLAPPED* overlapped) override;
    bool GetOverlappedResult(THandle device, OVERLAPPED* overlapped, DWORD* done,
                             bool wait) override;
    bool SetCommMask(THandle device, DWORD mask) override;
    bool WaitCommEvent(THandle device, DWORD* mask, OVERLAPPED* overlapped) override;
    bool ClearCommError(THandle device, DWORD* errors, COMSTAT* status) override;
    bool GetCommModemStatus(THandle device, DWORD* status) override;
    bool PurgeComm(THandle device, DWORD flags) override;
    THandle CreateEvent(bool manualReset, bool initialState) override;
    bool SetEvent(THandle event) override;
    bool ResetEvent(THandle event) override;
    DWORD WaitForSingleObject(THandle event, DWORD milliseconds) override;
    DWORD WaitForMultipleObjects(DWORD count, const THandle* events, bool waitAll,
                                 DWORD milliseconds) override;

private:
    struct Script {
        DWORD error;
        int times;
        int after;
    };
    struct Event {
        bool manual = true;
        bool set = false;
    };
    // A transfer started while SetTransfersPending(true); finished when its event is waited on.
    struct Pending {
        OVERLAPPED* overlapped;
        DWORD count;
    };
    using Lock = std::unique_lock<std::mutex>;

    // Records the call; true when the script says it fails (errno-like code stored).
    bool Enter(Lock& lock, FakeCall call);
    bool Fails(const std::string& name);
    void Signal(THandle event, bool set);
    void Complete(OVERLAPPED* overlapped, DWORD count);
    void FinishPending(THandle event);
    bool AnySet(DWORD count, const THandle* events, DWORD* index);
    DWORD Wait(Lock& lock, DWORD count, const THandle* events, bool waitAll, DWORD milliseconds);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<FakeCall> calls_;
    std::map<std::string, Script> scripts_;
    std::map<THandle, Event> events_;
    std::map<THandle, Pending> pending_;  // by event handle
    THandle nextEvent_ = 0x2000;
    std::string input_;
    std::string written_;
    DWORD inQueue_ = 0;
    DWORD errors_ = 0;
    DWORD modem_ = 0;
    DWORD writeLimit_ = INFINITE;
    bool transfersPending_ = false;
    std::deque<DWORD> posted_;
    DWORD* waitMask_ = nullptr;
    OVERLAPPED* waitOverlapped_ = nullptr;
};
