// A read completes by the COMMTIMEOUTS rules: all bytes, the total time-out, the interval
// time-out after a byte, or at once (ReadInterval MAXDWORD with zero totals).
#include "serial/posix/Operations.h"
#include "serial/posix/Port.h"

#include <algorithm>
#include <cerrno>

using namespace comm;

namespace {

constexpr DWORD MaxDword = 0xFFFFFFFF;

class ReadOp final : public PendingOp {
public:
    ReadOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
           std::shared_ptr<PosixEvent> event, void* data, DWORD count)
        : PendingOp(OpKind::Read, port, overlapped, std::move(event)),
          data_(static_cast<char*>(data)), count_(count)
    {
        COMMTIMEOUTS t = port->Timeouts();
        DWORD interval = t.ReadIntervalTimeout;
        DWORD multiplier = t.ReadTotalTimeoutMultiplier;
        DWORD constant = t.ReadTotalTimeoutConstant;
        immediate_ = interval == MaxDword && multiplier == 0 && constant == 0;
        // MAXDWORD interval and multiplier: return as soon as anything has arrived.
        firstByte_ = interval == MaxDword && multiplier == MaxDword && constant != 0 &&
                     constant != MaxDword;
        if (firstByte_)
            multiplier = 0;
        if (interval != 0 && interval != MaxDword)
            interval_ = std::chrono::milliseconds(interval);
        if (multiplier != 0 || constant != 0) {
            std::uint64_t ms = std::uint64_t{multiplier} * count + constant;
            deadline_ = Clock::now() + std::chrono::milliseconds(std::min<std::uint64_t>(ms, 1ull << 40));
        }
    }

private:
    void Step() override
    {
        if (armed_)
            Port().DrainInputWake();
        while (got_ < count_) {
            long n = Port().ReadSome(data_ + got_, count_ - got_);
            if (n < 0 && errno == EAGAIN)
                break;
            if (n < 0)
                return Complete(errno, got_);
            got_ += static_cast<DWORD>(n);
            last_ = Clock::now();
        }
        Clock::time_point now = Clock::now();
        if (got_ == count_ || immediate_ || (firstByte_ && got_ > 0) || now >= deadline_ ||
            (got_ > 0 && interval_.count() > 0 && now >= last_ + interval_))
            Complete(0, got_);
    }

    void ArmStep(PollSet& set) override
    {
        set.Add(Port().Fd(), POLLIN, &Port());
        set.Add(Port().InputWake(), POLLIN);
        armed_ = true;
        set.Until(deadline_);
        if (got_ > 0 && interval_.count() > 0)
            set.Until(last_ + interval_);
    }

    DWORD AbortedCount() override { return got_; }

    char* data_;
    DWORD count_;
    DWORD got_ = 0;
    bool armed_ = false;
    bool immediate_ = false;
    bool firstByte_ = false;
    std::chrono::milliseconds interval_{0};
    Clock::time_point deadline_ = Clock::time_point::max();
    Clock::time_point last_;
};

} // namespace

std::shared_ptr<PendingOp> MakeReadOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                                      std::shared_ptr<PosixEvent> event, void* data, DWORD count)
{
    return std::make_shared<ReadOp>(std::move(port), overlapped, std::move(event), data, count);
}
