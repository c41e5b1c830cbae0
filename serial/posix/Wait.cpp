#include "serial/posix/Wait.h"
#include "serial/posix/Event.h"

DWORD WaitForEvents(std::span<const std::shared_ptr<PosixEvent>> events, DWORD milliseconds)
{
    Clock::time_point deadline = milliseconds == INFINITE
                                     ? Clock::time_point::max()
                                     : Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i]->Check())
                return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        if (milliseconds != INFINITE && Clock::now() >= deadline)
            return WAIT_TIMEOUT;
        PollSet set(deadline);
        for (const auto& event : events)
            if (!event->Arm(set))
                return WAIT_FAILED;
        if (!set.Poll())
            return WAIT_FAILED;
    }
}
