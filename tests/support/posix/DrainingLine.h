// A UART in front of a pseudo-terminal, for tests of when a write completes: the
// device layer's writes wait in this line's queue, and each byte goes out to the
// terminal only once its line time (10 bits, or 11 with two stop bits, at the
// terminal's speed) has passed after the one before. Bytes leave when the line is
// next asked about, so no thread of its own is needed.
#pragma once

#include "serial/posix/LineOutput.h"
#include <chrono>
#include <deque>
#include <map>
#include <mutex>

class DrainingLine final : public TLineOutput {
public:
    bool HasQueue(int) override { return true; }
    long Write(int fd, const char* data, std::size_t count) override;
    bool Queued(int fd, int* bytes) override;
    bool Drop(int fd) override;
    void Release(int fd) override;

    // Bytes dropped from the queue, by a purge or with the descriptor's close.
    std::size_t Dropped() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Queue {
        std::deque<char> bytes;
        Clock::duration byteTime{};
        Clock::time_point nextOut;  // when the front byte is on the line
    };
    Queue& Settled(int fd);  // under mutex_

    mutable std::mutex mutex_;
    std::map<int, Queue> queues_;
    std::size_t dropped_ = 0;
};
