#include "DrainingLine.h"

#include <algorithm>
#include <cerrno>
#include <termios.h>
#include <unistd.h>

bool ReadPtySpeed(int fd, unsigned* input, unsigned* output);

namespace {

// The line time of one byte at the terminal's present speed and stop bits.
std::chrono::microseconds ByteTime(int fd)
{
    unsigned in = 0, out = 0;
    termios line {};
    if (!ReadPtySpeed(fd, &in, &out) || out == 0 || tcgetattr(fd, &line) != 0)
        return {};
    const unsigned bits = (line.c_cflag & CSTOPB) ? 11 : 10;
    return std::chrono::microseconds(1000000ull * bits / out);
}

} // namespace

DrainingLine::DrainingLine() : pump_([this] { Pump(); }) {}

DrainingLine::~DrainingLine()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    pump_.join();
}

long DrainingLine::Write(int fd, const char* data, std::size_t count)
{
    const auto byteTime = ByteTime(fd);
    std::lock_guard lock(mutex_);
    Queue& queue = queues_[fd];
    if (queue.bytes.empty())
        queue.nextOut = Clock::now() + byteTime;
    queue.byteTime = byteTime;
    queue.bytes.insert(queue.bytes.end(), data, data + count);
    changed_.notify_all();
    return static_cast<long>(count);
}

bool DrainingLine::Queued(int fd, int* bytes)
{
    std::lock_guard lock(mutex_);
    const auto found = queues_.find(fd);
    *bytes = found == queues_.end() ? 0 : static_cast<int>(found->second.bytes.size());
    return true;
}

bool DrainingLine::Drop(int fd)
{
    std::lock_guard lock(mutex_);
    if (const auto found = queues_.find(fd); found != queues_.end()) {
        dropped_ += found->second.bytes.size();
        found->second.bytes.clear();
    }
    return true;
}

void DrainingLine::Release(int fd)
{
    Drop(fd);
    std::lock_guard lock(mutex_);
    queues_.erase(fd);
}

std::size_t DrainingLine::Dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

// Sends each queue's front byte when its time has come; sleeps until the next one is due.
void DrainingLine::Pump()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        auto due = Clock::time_point::max();
        for (auto& [fd, queue] : queues_) {
            while (!queue.bytes.empty() && queue.nextOut <= Clock::now()) {
                const ssize_t n = ::write(fd, &queue.bytes.front(), 1);
                if (n < 0 && errno == EAGAIN) {
                    // The peer is full: the line stands still, as with flow control.
                    queue.nextOut = Clock::now() + std::max<Clock::duration>(queue.byteTime, std::chrono::milliseconds(1));
                    break;
                }
                dropped_ += n == 1 ? 0 : 1;  // a hung-up terminal takes nothing
                queue.bytes.pop_front();
                queue.nextOut += queue.byteTime;
            }
            if (!queue.bytes.empty())
                due = std::min(due, queue.nextOut);
        }
        if (due == Clock::time_point::max())
            changed_.wait(lock);
        else
            changed_.wait_until(lock, due);
    }
}
