// A line-event wait: it completes when a selected event occurs, with the events in *mask.
#include "serial/posix/Operations.h"
#include "serial/posix/Port.h"

#include <cerrno>

using namespace comm;

namespace {

class WaitOp final : public PendingOp {
public:
    WaitOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
           std::shared_ptr<PosixEvent> event, DWORD* mask)
        : PendingOp(OpKind::Wait, std::move(port), overlapped, std::move(event)), mask_(mask)
    {
    }

private:
    void Step() override
    {
        if (Port().HungUp())
            return Complete(EIO, 0);
        long found = Port().CollectEvents(Port().Mask());
        if (found < 0)
            return Complete(errno, 0);
        if (found > 0) {
            *mask_ = static_cast<DWORD>(found);
            Complete(0, 0);
        }
    }

    void ArmStep(PollSet& set) override { Port().ArmEvents(set, Port().Mask()); }

    // Ended by a new mask: no events.
    DWORD AbortedCount() override
    {
        *mask_ = 0;
        return 0;
    }

    DWORD* mask_;
};

} // namespace

std::shared_ptr<PendingOp> MakeWaitOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                                      std::shared_ptr<PosixEvent> event, DWORD* mask)
{
    return std::make_shared<WaitOp>(std::move(port), overlapped, std::move(event), mask);
}
