#include "DrainingLine.h"

#include "serial/posix/Termios2.h"

#include <termios.h>
#include <unistd.h>

namespace {

// The line time of one byte at the terminal's present speed and stop bits.
std::chrono::microseconds ByteTime(int fd)
{
    LineState line;
    if (!ReadLineState(fd, &line) || line.OutputSpeed == 0)
        return {};
    return std::chrono::microseconds(1000000ull * ((line.ControlFlags & CSTOPB) ? 11 : 10) / line.OutputSpeed);
}

} // namespace

// The queue after every byte whose time has come went out to the terminal.
DrainingLine::Queue& DrainingLine::Settled(int fd)
{
    Queue& queue = queues_[fd];
    for (; !queue.bytes.empty() && queue.nextOut <= Clock::now(); queue.nextOut += queue.byteTime) {
        dropped_ += ::write(fd, &queue.bytes.front(), 1) == 1 ? 0 : 1;  // the test reads everything
        queue.bytes.pop_front();
    }
    return queue;
}

long DrainingLine::Write(int fd, const char* data, std::size_t count)
{
    std::lock_guard lock(mutex_);
    Queue& queue = Settled(fd);
    queue.byteTime = ByteTime(fd);
    if (queue.bytes.empty())
        queue.nextOut = Clock::now() + queue.byteTime;
    queue.bytes.insert(queue.bytes.end(), data, data + count);
    return static_cast<long>(count);
}

bool DrainingLine::Queued(int fd, int* bytes)
{
    std::lock_guard lock(mutex_);
    *bytes = static_cast<int>(Settled(fd).bytes.size());
    return true;
}

bool DrainingLine::Drop(int fd)
{
    std::lock_guard lock(mutex_);
    Queue& queue = Settled(fd);
    dropped_ += queue.bytes.size();
    queue.bytes.clear();
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
