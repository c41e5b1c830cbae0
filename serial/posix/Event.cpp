#include "serial/posix/Event.h"
#include "serial/posix/PendingOp.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

PosixEvent::PosixEvent(bool manualReset, bool initialState)
    : manual_(manualReset), set_(initialState)
{
}

PosixEvent::~PosixEvent()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// The eventfd, when there is one, is readable exactly while the event is set.
void PosixEvent::Signal(bool set)
{
    if (set == set_)
        return;
    set_ = set;
    if (fd_ < 0)
        return;
    std::uint64_t value = 1;
    ssize_t n = set ? ::write(fd_, &value, sizeof value) : ::read(fd_, &value, sizeof value);
    (void)n;  // a non-blocking eventfd of a 0/1 counter cannot refuse either
}

void PosixEvent::Closed()
{
    std::shared_ptr<PendingOp> op;
    {
        std::lock_guard lock(mutex_);
        op = std::move(op_);
    }
    if (op)
        op->Orphan();
}

void PosixEvent::Set()
{
    std::lock_guard lock(mutex_);
    Signal(true);
}

void PosixEvent::Reset()
{
    std::lock_guard lock(mutex_);
    Signal(false);
}

void PosixEvent::Attach(std::shared_ptr<PendingOp> op)
{
    std::lock_guard lock(mutex_);
    op_ = std::move(op);
    Signal(false);
}

void PosixEvent::Finish(const PendingOp* op)
{
    std::shared_ptr<PendingOp> finished;  // released after the lock
    std::lock_guard lock(mutex_);
    if (op_.get() == op)
        finished = std::move(op_);
    Signal(true);
}

std::shared_ptr<PendingOp> PosixEvent::Op()
{
    std::lock_guard lock(mutex_);
    return op_;
}

bool PosixEvent::Check()
{
    std::shared_ptr<PendingOp> op;
    {
        std::lock_guard lock(mutex_);
        if (!op_)
            return Take();
        op = op_;
    }
    op->Advance();
    std::lock_guard lock(mutex_);
    return Take();
}

bool PosixEvent::Take()
{
    if (!set_)
        return false;
    if (!manual_)
        Signal(false);
    return true;
}

bool PosixEvent::Arm(PollSet& set)
{
    if (auto op = Op())
        op->Arm(set);
    std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        fd_ = eventfd(set_ ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (fd_ < 0)
            return false;
    }
    set.Add(fd_, POLLIN);
    return true;
}
