// What one wait hands to poll(2): descriptors, and the earliest moment at which some
// pending operation wants to look again (a time-out, an output-queue check).
#pragma once

#include <chrono>
#include <poll.h>
#include <vector>

using Clock = std::chrono::steady_clock;

class PosixPort;

class PollSet {
public:
    explicit PollSet(Clock::time_point deadline) : deadline_(deadline) {}

    // `port` is told when poll reports the descriptor hung up.
    void Add(int fd, short events, PosixPort* port = nullptr);
    void Until(Clock::time_point when);
    // Polls; false with errno on failure. Hang-ups are passed on to their ports.
    bool Poll();

private:
    std::vector<pollfd> fds_;
    std::vector<PosixPort*> ports_;
    Clock::time_point deadline_;
};
