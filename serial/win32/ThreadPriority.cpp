#include "serial/ThreadPriority.h"
#include "serial/win32/WinApi.h"

#include <array>

void SetEventThreadPriority(TComThreadPriority priority)
{
    // The system's thread priorities, from idle to time-critical.
    constexpr std::array<int, 7> kPriority = {-15, -2, -1, 0, 1, 2, 15};
    winapi::SetCurrentThreadPriority(kPriority.at(priority));
}
