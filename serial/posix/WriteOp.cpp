// A write completes when its bytes have left the output queue, or when its total
// time-out runs out: then with the count that went out, the rest dropped.
#include "serial/posix/Operations.h"
#include "serial/posix/Port.h"

#include <algorithm>
#include <cerrno>

using namespace comm;

namespace {

// MULTIPLIER x count + CONSTANT; none when both are zero.
Clock::time_point TotalDeadline(DWORD multiplier, DWORD constant, DWORD count)
{
    if (multiplier == 0 && constant == 0)
        return Clock::time_point::max();
    std::uint64_t ms = std::uint64_t{multiplier} * count + constant;
    return Clock::now() + std::chrono::milliseconds(std::min<std::uint64_t>(ms, 1ull << 40));
}

class WriteOp final : public PendingOp {
public:
    WriteOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
            std::shared_ptr<PosixEvent> event, const void* data, DWORD count)
        : PendingOp(OpKind::Write, port, overlapped, std::move(event)),
          data_(static_cast<const char*>(data)), count_(count)
    {
        COMMTIMEOUTS t = port->Timeouts();
        deadline_ = TotalDeadline(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, count);
    }

private:
    void Step() override
    {
        while (taken_ < count_) {
            long n = Port().WriteSome(data_ + taken_, count_ - taken_);
            if (n > 0) {
                taken_ += static_cast<DWORD>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN)
                return Complete(errno, taken_);
            break;
        }
        if (taken_ == count_) {
            DWORD queued = 0;
            if (!Port().OutQueue(&queued))
                return Complete(errno, taken_);
            if (queued == 0)
                return Complete(0, taken_);
            drain_.Note(Port(), queued);
        }
        if (Clock::now() >= deadline_)
            Complete(0, Stop());
    }

    void ArmStep(PollSet& set) override
    {
        if (taken_ < count_) {
            set.Add(Port().Fd(), POLLOUT, &Port());
        } else {
            set.Add(Port().Fd(), 0, &Port());
            set.Until(drain_.Next());
        }
        set.Until(deadline_);
    }

    DWORD AbortedCount() override { return Stop(); }

    // What went out; whatever of ours is still queued is dropped.
    DWORD Stop()
    {
        DWORD queued = 0;
        if (!Port().OutQueue(&queued) || queued == 0)
            return taken_;
        Port().DropOutput();
        return taken_ - std::min(queued, taken_);
    }

    const char* data_;
    DWORD count_;
    DWORD taken_ = 0;
    DrainWatch drain_;
    Clock::time_point deadline_;
};

} // namespace

std::shared_ptr<PendingOp> MakeWriteOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                                       std::shared_ptr<PosixEvent> event, const void* data,
                                       DWORD count)
{
    return std::make_shared<WriteOp>(std::move(port), overlapped, std::move(event), data, count);
}
