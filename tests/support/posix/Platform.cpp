#include "Platform.h"

#include <cstdlib>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

void SetEnvironment(const char* name, const char* value)
{
    ::setenv(name, value, 1);
}

const char* const kIniLineEnd = "\n";

std::string ThreadScheduling()
{
    if (sched_getscheduler(0) == SCHED_IDLE)
        return "idle";
    return "nice " + std::to_string(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
}

std::string EventThreadScheduling(int priority)
{
    if (priority == 0)
        return "idle";
    // Nice values from lowest to time-critical; normal leaves the thread as it starts.
    constexpr int kNice[] = {0, 10, 5, 0, -5, -10, -20};
    if (priority == 3)
        return ThreadScheduling();
    std::string scheduling;
    std::thread([&] {  // a raise needs a privilege: a fresh thread shows whether this one has it
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNice[priority]);
        scheduling = ThreadScheduling();
    }).join();
    return scheduling;
}
