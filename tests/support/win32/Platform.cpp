#include "Platform.h"

#include <cstdlib>
#include <windows.h>

void SetEnvironment(const char* name, const char* value)
{
    ::_putenv_s(name, value);
}

const char* const kIniLineEnd = "\r\n";

std::string ThreadScheduling()
{
    const int priority = ::GetThreadPriority(::GetCurrentThread());
    return priority == THREAD_PRIORITY_IDLE ? "idle" : "priority " + std::to_string(priority);
}

std::string EventThreadScheduling(int priority)
{
    constexpr const char* kScheduling[] = {"idle",       "priority -2", "priority -1", "priority 0",
                                           "priority 1", "priority 2",  "priority 15"};
    return kScheduling[priority];
}

bool WithoutNewThreads(const std::function<void()>&)
{
    return false;
}
