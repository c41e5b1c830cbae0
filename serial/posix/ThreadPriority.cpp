#include "serial/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>

void SetEventThreadPriority(TComThreadPriority priority)
{
    if (priority == cpIdle) {
        sched_param param{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
        return;
    }
    // Nice values of the thread, from lowest to time-critical.
    constexpr std::array<int, 7> kNice = {19, 10, 5, 0, -5, -10, -20};
    const int nice = kNice.at(priority);
    if (nice != 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
}
