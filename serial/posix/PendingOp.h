// A started write, read or line-event wait. Its device work is done by whoever waits
// for its event (Advance, then poll for what Arm asks), so no thread of the layer's
// own runs and a transfer that completes at once costs only its system calls.
#pragma once

#include "serial/ComDevice.h"
#include "serial/posix/PollSet.h"

#include <atomic>
#include <memory>
#include <mutex>

class PosixEvent;
class PosixPort;

// OVERLAPPED.Internal while the operation runs; afterwards the errno of its failure, or 0.
constexpr std::uintptr_t StatusPending = 0x103;

enum class OpKind { Write, Read, Wait };

class PendingOp {
public:
    PendingOp(OpKind kind, std::shared_ptr<PosixPort> port, comm::OVERLAPPED* overlapped,
              std::shared_ptr<PosixEvent> event);
    virtual ~PendingOp() = default;
    PendingOp(const PendingOp&) = delete;
    PendingOp& operator=(const PendingOp&) = delete;

    OpKind Kind() const { return kind_; }
    // Moves the work on without blocking; completes the operation when it is done.
    void Advance();
    // Adds what the operation waits for; nothing once it is complete.
    void Arm(PollSet& set);
    // Ends it at once with what it has done so far (purge with abort).
    void Abort();
    // Ends it at once with an error (the device was closed).
    void Cancel(int error);
    // Drops it without a word: its event was closed, so its OVERLAPPED block and buffer
    // may be gone too and must not be touched again.
    void Orphan();
    bool Done();

protected:
    // The three hooks run under the operation's lock and only while it is incomplete.
    virtual void Step() = 0;
    virtual void ArmStep(PollSet& set) = 0;
    virtual comm::DWORD AbortedCount() = 0;
    // Publishes the result in the OVERLAPPED block and sets the event.
    void Complete(int error, comm::DWORD count);

    PosixPort& Port() { return *port_; }

private:
    friend bool StartOp(const std::shared_ptr<PendingOp>&, PosixEvent&, PosixPort&);

    OpKind kind_;
    std::mutex mutex_;
    bool done_ = false;
    std::atomic<bool> registered_{false};
    std::shared_ptr<PosixPort> port_;
    comm::OVERLAPPED* overlapped_;
    std::shared_ptr<PosixEvent> event_;
};

// Starts `op` on `event`: takes the first step and, unless that completed it (which sets
// the event), attaches it to the event (which resets it) and registers it with the port.
// True when it completed at once.
bool StartOp(const std::shared_ptr<PendingOp>& op, PosixEvent& event, PosixPort& port);
