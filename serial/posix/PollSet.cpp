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
    int timeout = -1;
    if (deadline_ != Clock::time_point::max()) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - Clock::now());
        long long ms = (std::max<long long>(left.count(), 0) + 999) / 1000;
        timeout = static_cast<int>(std::min<long long>(ms, INT_MAX));
    }
    if (::poll(fds_.data(), fds_.size(), timeout) < 0)
        return errno == EINTR;
    for (std::size_t i = 0; i < fds_.size(); ++i)
        if (ports_[i] && (fds_[i].revents & (POLLHUP | POLLERR)))
            ports_[i]->MarkHungUp();
    return true;
}
