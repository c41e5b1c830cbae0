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
    comm::DWORD WaitForMultipleObjects(comm::DWORD count, const comm::THandle* events,
                                       bool waitAll, comm::DWORD milliseconds) override;

private:
    // `use(object)` for the object of type T that `handle` names; EBADF when none is.
    template <typename T, typename Use>
    bool With(comm::THandle handle, Use use);
    // Starts `op` on `overlapped`, or runs it to its end when there is no block.
    template <typename MakeOp>
    bool Start(comm::THandle device, comm::OVERLAPPED* overlapped, comm::DWORD* done, MakeOp make);
    bool Result(comm::OVERLAPPED* overlapped, comm::DWORD* done);

    TLineOutput& output_;
    HandleTable handles_;
};
