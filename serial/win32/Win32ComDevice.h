// The Windows device layer: TComDevice by the system's own communication calls.
//
// The calls keep their Windows meaning; what the layer adds is that a purge ends a
// pending transfer and a new mask a pending line-event wait everywhere (some systems
// leave them waiting), that a purge never drops bytes of a completed write, and that
// an ended or timed-out transfer completes with the count it reached, as the
// component expects.
#pragma once

#include "serial/ComDevice.h"

#include <mutex>
#include <vector>

class Win32ComDevice final : public TComDevice {
public:
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
    enum class Kind { Read, Write, Wait };
    // An operation that went pending and whose result nobody has taken yet.
    struct Pending {
        THandle device;
        OVERLAPPED* overlapped;
        Kind kind;
        DWORD* mask;  // a wait's
        bool ended;   // by a purge or a new mask
    };

    bool Started(bool ok, THandle device, OVERLAPPED* overlapped, DWORD* done, Kind kind, DWORD* mask = nullptr);
    // Forgets a finished operation; true when a purge or a new mask had ended it.
    bool Finished(OVERLAPPED* overlapped, DWORD** mask);
    // Cancels the device's pending operations of `kind`.
    void End(THandle device, Kind kind);

    std::mutex mutex_;
    std::vector<Pending> pending_;
};
