// The transfer members of TCustomComPort: overlapped writes and reads through a transfer
// record, the blocking Write and Read built from them, and the line state.
#include "serial/CPort.h"

#include <algorithm>
#include <utility>

using namespace comm;

namespace {

// Releases a blocking call's record on every way out, exceptions included.
class TransferScope {
public:
    explicit TransferScope(TCustomComPort& port) : port_(port) { port_.InitTransfer(transfer_); }
    ~TransferScope() { port_.DoneTransfer(transfer_); }
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;
    TComTransfer*& Record() { return transfer_; }

private:
    TCustomComPort& port_;
    TComTransfer* transfer_ = nullptr;
};

// A negative count would reach the device as a huge unsigned one: nothing is moved.
DWORD ByteCount(std::int32_t count)
{
    return static_cast<DWORD>(std::max<std::int32_t>(count, 0));
}

int FailureCode(TComTransferKind kind) { return kind == tkWrite ? CError_WriteFailed : CError_ReadFailed; }

// Starts a transfer by `start` (the device's WriteFile or ReadFile); a pending one is
// no failure.
template <typename Start>
std::int32_t StartTransfer(TComDevice& device, TComTransfer* transfer, TComTransferKind kind, Start start)
{
    if (!transfer)
        throw EComPort(CError_InvalidAsync);
    transfer->Kind = kind;
    DWORD done = 0;
    if (!start(&done, &transfer->Overlapped)) {
        const DWORD error = device.GetLastError();
        if (error != kErrorIoPending)
            throw EComPort(FailureCode(kind), static_cast<int>(error));
    }
    return static_cast<std::int32_t>(done);
}

// The line errors, cleared, and the queue state.
std::pair<DWORD, COMSTAT> ClearErrors(TComDevice& device, THandle handle)
{
    std::pair<DWORD, COMSTAT> state{};
    if (!device.ClearCommError(handle, &state.first, &state.second))
        throw EComPort(CError_ClearComFailed, static_cast<int>(device.GetLastError()));
    return state;
}

} // namespace

TComLineSignals ModemStatusToSignals(DWORD status)
{
    TComLineSignals signals;
    if (status & kMsCtsOn)
        signals.Include(lsCTS);
    if (status & kMsDsrOn)
        signals.Include(lsDSR);
    if (status & kMsRingOn)
        signals.Include(lsRing);
    if (status & kMsRlsdOn)
        signals.Include(lsRLSD);
    return signals;
}

TComErrors CommErrorsToErrors(DWORD errors, bool parityChecked)
{
    struct Pair {
        DWORD bit;
        TComError error;
    };
    static constexpr Pair table[] = {
        {kCeFrame, ceFrame},   {kCeOverrun, ceOverrun}, {kCeRxOver, ceRxOver},
        {kCeTxFull, ceTxFull}, {kCeBreak, ceBreak},     {kCeIoe, ceIO},
        {kCeMode, ceMode},
    };
    TComErrors result;
    for (const Pair& p : table)
        if (errors & p.bit)
            result.Include(p.error);
    if (parityChecked && (errors & kCeRxParity))
        result.Include(ceRxParity);
    return result;
}

void TCustomComPort::InitTransfer(TComTransfer*& transfer)
{
    transfer = new TComTransfer{};
    transfer->Overlapped.hEvent = device_.NewEvent(true, true);
}

void TCustomComPort::DoneTransfer(TComTransfer*& transfer)
{
    if (!transfer)
        return;
    if (transfer->Overlapped.hEvent != 0)
        device_.CloseHandle(transfer->Overlapped.hEvent);
    delete transfer;
    transfer = nullptr;
}

std::int32_t TCustomComPort::StartWrite(const void* buffer, std::int32_t count,
                                        TComTransfer*& transfer)
{
    return StartTransfer(device_, transfer, tkWrite, [&](DWORD* done, OVERLAPPED* overlapped) {
        return device_.WriteFile(Handle(), buffer, ByteCount(count), done, overlapped);
    });
}

std::int32_t TCustomComPort::StartRead(void* buffer, std::int32_t count, TComTransfer*& transfer)
{
    return StartTransfer(device_, transfer, tkRead, [&](DWORD* done, OVERLAPPED* overlapped) {
        return device_.ReadFile(Handle(), buffer, ByteCount(count), done, overlapped);
    });
}

std::int32_t TCustomComPort::WaitForTransfer(TComTransfer*& transfer)
{
    if (!transfer)
        throw EComPort(CError_InvalidAsync);
    DWORD done = 0;
    bool ok = device_.WaitForSingleObject(transfer->Overlapped.hEvent, kInfinite) == kWaitObject0 &&
              device_.GetOverlappedResult(Handle(), &transfer->Overlapped, &done, false);
    if (!ok) {
        throw EComPort(FailureCode(transfer->Kind), static_cast<int>(device_.GetLastError()));
    }
    return static_cast<std::int32_t>(done);
}

std::int32_t TCustomComPort::Write(const void* buffer, std::int32_t count)
{
    TransferScope scope(*this);
    StartWrite(buffer, count, scope.Record());
    return WaitForTransfer(scope.Record());
}

std::int32_t TCustomComPort::Read(void* buffer, std::int32_t count)
{
    TransferScope scope(*this);
    StartRead(buffer, count, scope.Record());
    return WaitForTransfer(scope.Record());
}

std::int32_t TCustomComPort::ReceivedCount()
{
    return static_cast<std::int32_t>(ClearErrors(device_, Handle()).second.cbInQue);
}

TComLineSignals TCustomComPort::LineSignals()
{
    DWORD status = 0;
    if (!device_.GetCommModemStatus(Handle(), &status))
        throw EComPort(CError_ModemStatFailed, static_cast<int>(device_.GetLastError()));
    return ModemStatusToSignals(status);
}

TComErrors TCustomComPort::TakeLineErrors()
{
    return CommErrorsToErrors(ClearErrors(device_, Handle()).first, Parity().Check());
}

void TCustomComPort::AbortTransfers()
{
    if (!device_.PurgeComm(Handle(), kPurgeTxAbort | kPurgeRxAbort))
        throw EComPort(CError_PurgeFailed, static_cast<int>(device_.GetLastError()));
}
