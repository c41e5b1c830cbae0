#include "Platform.h"

#include <cstdlib>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

void SetEnvironment(const char* name, const char* value)
{
    ::setenv(name, value, 1);
}

const char* const kIniLineEnd = "\n";

const char* const kLowestScheduling = "nice 10";

std::string ThreadScheduling()
{
    if (sched_getscheduler(0) == SCHED_IDLE)
        return "idle";
    return "nice " + std::to_string(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
}
