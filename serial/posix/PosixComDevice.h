// The termios device layer: TComDevice over the layer's handle table.
//
// A started transfer or line-event wait is done by the thread that waits for its event
// (WaitForSingleObject, WaitForMultipleObjects, GetOverlappedResult with wait): one poll
// over the device, the events' eventfds and the earliest time-out. A start that fails at
// once leaves its event reset, so a caller that waits anyway blocks instead of spinning.
#pragma once

#include "serial/ComDevice.h"
#include "serial/posix/Handles.h"
#include "serial/posix/LineOutput.h"

#include <memory>

class PosixEvent;
class PosixPort;
class PendingOp;

class PosixComDevice final : public TComDevice {
public:
    // `output` takes the ports' writes: the kernel's driver, or a model in tests.
    explicit PosixComDevice(TLineOutput& output = KernelLineOutput()) : output_(output) {}

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
    // Starts `op` on `overlapped`, or runs it to its end when there is no block.
    template <typename MakeOp>
    bool Start(THandle device, OVERLAPPED* overlapped, DWORD* done, MakeOp make);
    bool Result(OVERLAPPED* overlapped, DWORD* done);

    TLineOutput& output_;
    HandleTable handles_;
};
