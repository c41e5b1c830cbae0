#include "Platform.h"

#include <cstdlib>
#include <windows.h>

void SetEnvironment(const char* name, const char* value)
{
    ::_putenv_s(name, value);
}

const char* const kIniLineEnd = "\r\n";

const char* const kLowestScheduling = "priority -2";

std::string ThreadScheduling()
{
    const int priority = ::GetThreadPriority(::GetCurrentThread());
    return priority == THREAD_PRIORITY_IDLE ? "idle" : "priority " + std::to_string(priority);
}
