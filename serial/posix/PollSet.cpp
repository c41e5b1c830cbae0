#include "serial/posix/PollSet.h"
#include "serial/posix/Port.h"

#include <algorithm>
#include <cerrno>
#include <climits>

void PollSet::Add(int fd, short events, PosixPort* port)
{
    fds_.push_back(pollfd{fd, events, 0});
    ports_.push_back(port);
}

void PollSet::Until(Clock::time_point when)
{
    deadline_ = std::min(deadline_, when);
}

bool PollSet::Poll()
{
    // ppoll, not poll: looks at an output queue are due to the microsecond, and each
    // rounded up to a whole millisecond would leave the line idle that much longer.
    timespec timeout{};
    timespec* until = nullptr;
    if (deadline_ != Clock::time_point::max()) {
        const auto left = std::max(deadline_ - Clock::now(), Clock::duration::zero());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        timeout.tv_sec = static_cast<time_t>(std::min<long long>(seconds.count(), INT_MAX));
        timeout.tv_nsec = static_cast<long>(std::chrono::nanoseconds(left - seconds).count());
        until = &timeout;
    }
    if (::ppoll(fds_.data(), fds_.size(), until, nullptr) < 0)
        return errno == EINTR;
    for (std::size_t i = 0; i < fds_.size(); ++i)
        if (ports_[i] && (fds_[i].revents & (POLLHUP | POLLERR)))
            ports_[i]->MarkHungUp();
    return true;
}
