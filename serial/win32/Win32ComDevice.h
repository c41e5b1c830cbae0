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
    comm::THandle OpenPort(const std::string& name) override;
    bool CloseHandle(comm::THandle handle) override;
    comm::DWORD GetLastError() override;
    bool SetupComm(comm::THandle device, comm::DWORD inQueue, comm::DWORD outQueue) override;
    bool SetCommState(comm::THandle device, const comm::DCB& dcb) override;
    bool SetCommTimeouts(comm::THandle device, const comm::COMMTIMEOUTS& timeouts) override;
    bool WriteFile(comm::THandle device, const void* buffer, comm::DWORD count, comm::DWORD* done,
                   comm::OVERLAPPED* overlapped) override;
    bool ReadFile(comm::THandle device, void* buffer, comm::DWORD count, comm::DWORD* done,
                  comm::OVERLAPPED* overlapped) override;
    bool GetOverlappedResult(comm::THandle device, comm::OVERLAPPED* overlapped, comm::DWORD* done,
                             bool wait) override;
    bool SetCommMask(comm::THandle device, comm::DWORD mask) override;
    bool WaitCommEvent(comm::THandle device, comm::DWORD* mask, comm::OVERLAPPED* overlapped) override;
    bool ClearCommError(comm::THandle device, comm::DWORD* errors, comm::COMSTAT* status) override;
    bool GetCommModemStatus(comm::THandle device, comm::DWORD* status) override;
    bool PurgeComm(comm::THandle device, comm::DWORD flags) override;
    comm::THandle NewEvent(bool manualReset, bool initialState) override;
    bool SetEvent(comm::THandle event) override;
    bool ResetEvent(comm::THandle event) override;
    comm::DWORD WaitForSingleObject(comm::THandle event, comm::DWORD milliseconds) override;
    comm::DWORD WaitForMultipleObjects(comm::DWORD count, const comm::THandle* events, bool waitAll,
                                 comm::DWORD milliseconds) override;

private:
    enum class Kind { Read, Write, Wait };
    // An operation that went pending and whose result nobody has taken yet.
    struct Pending {
        comm::THandle device;
        comm::OVERLAPPED* overlapped;
        Kind kind;
        comm::DWORD* mask;  // a wait's
        bool ended;   // by a purge or a new mask
    };

    bool Started(bool ok, comm::THandle device, comm::OVERLAPPED* overlapped, comm::DWORD* done, Kind kind, comm::DWORD* mask = nullptr);
    // Forgets a finished operation; true when a purge or a new mask had ended it.
    bool Finished(comm::OVERLAPPED* overlapped, comm::DWORD** mask);
    // Cancels the device's pending operations of `kind`.
    void End(comm::THandle device, Kind kind);

    std::mutex mutex_;
    std::vector<Pending> pending_;
};
