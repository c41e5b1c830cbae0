#include "serial/posix/PendingOp.h"
#include "serial/posix/Event.h"
#include "serial/posix/Port.h"

#include <atomic>
#include <cerrno>

using namespace comm;

PendingOp::PendingOp(OpKind kind, std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                     std::shared_ptr<PosixEvent> event)
    : kind_(kind), port_(std::move(port)), overlapped_(overlapped), event_(std::move(event))
{
}

void PendingOp::Advance()
{
    std::lock_guard lock(mutex_);
    if (!done_)
        Step();
}

void PendingOp::Arm(PollSet& set)
{
    std::lock_guard lock(mutex_);
    if (!done_)
        ArmStep(set);
}

void PendingOp::Abort()
{
    std::lock_guard lock(mutex_);
    if (!done_)
        Complete(0, AbortedCount());
}

void PendingOp::Cancel(int error)
{
    std::lock_guard lock(mutex_);
    if (!done_)
        Complete(error, 0);
}

void PendingOp::Orphan()
{
    std::lock_guard lock(mutex_);
    if (done_)
        return;
    done_ = true;
    overlapped_ = nullptr;
    if (registered_.load())
        port_->Forget(this);
    event_.reset();
}

bool PendingOp::Done()
{
    std::lock_guard lock(mutex_);
    return done_;
}

void PendingOp::Complete(int error, DWORD count)
{
    done_ = true;
    overlapped_->InternalHigh = count;
    std::atomic_ref<std::uintptr_t>(overlapped_->Internal)
        .store(static_cast<std::uintptr_t>(error), std::memory_order_release);
    overlapped_ = nullptr;  // the caller may free the block from now on
    if (registered_.load())
        port_->Forget(this);
    event_->Finish(this);  // sets it: it was reset when the operation started
    event_.reset();
}

bool StartOp(const std::shared_ptr<PendingOp>& op, PosixEvent& event, PosixPort& port)
{
    // Only this thread knows the operation until it is attached and registered, so the
    // first step needs neither; one that completes here costs no bookkeeping at all.
    op->Advance();
    if (op->Done())
        return true;
    event.Attach(op);
    op->registered_.store(true);
    if (!port.Register(op))
        op->Cancel(EBADF);
    op->Advance();
    return op->Done();
}
