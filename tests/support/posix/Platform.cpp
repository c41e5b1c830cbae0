#include "Platform.h"

#include <cstdlib>
#include <pthread.h>
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

bool WithoutNewThreads(const std::function<void()>& action)
{
    pthread_attr_t saved, huge;
    if (pthread_getattr_default_np(&saved) != 0)
        return false;
    pthread_attr_init(&huge);
    // More stack than the address space has: every thread started with the defaults fails.
    const bool set =
        pthread_attr_setstacksize(&huge, std::size_t{1} << 50) == 0 && pthread_setattr_default_np(&huge) == 0;
    if (set) {
        try {
            action();
        } catch (...) {
            pthread_setattr_default_np(&saved);
            throw;
        }
        pthread_setattr_default_np(&saved);
    }
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&saved);
    return set;
}
