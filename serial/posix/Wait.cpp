#include "serial/posix/Wait.h"
#include "serial/posix/Event.h"

using namespace comm;

DWORD WaitForEvents(std::span<const std::shared_ptr<PosixEvent>> events, DWORD milliseconds)
{
    Clock::time_point deadline = milliseconds == kInfinite
                                     ? Clock::time_point::max()
                                     : Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i]->Check())
                return kWaitObject0 + static_cast<DWORD>(i);
        if (milliseconds != kInfinite && Clock::now() >= deadline)
            return kWaitTimeout;
        PollSet set(deadline);
        for (const auto& event : events)
            if (!event->Arm(set))
                return kWaitFailed;
        if (!set.Poll())
            return kWaitFailed;
    }
}
