#include "DrainingLine.h"

#include "serial/posix/Termios2.h"

#include <algorithm>
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

DrainingLine::DrainingLine(Shape shape)
    : hardware_(shape == Shape::Uart16550    ? Hardware{16, true, {}, 16, false}
                : shape == Shape::UsbAdapter ? Hardware{128, false, std::chrono::milliseconds(1), 64, false}
                                             : Hardware{1, true, {}, 1, true})
{
}

std::size_t DrainingLine::Counted(const Line& line) const
{
    return line.queue.size() + line.transfer.size() + (hardware_.countsBuffer ? line.buffer.size() : 0);
}

// Plays the line forward event by event up to now: a transfer starts when the driver
// has bytes (and, for a FIFO, the FIFO ran empty), lands once it took its time and the
// buffer has room, and the buffer's front byte leaves at the end of its line time.
DrainingLine::Line& DrainingLine::Settled(int fd)
{
    Line& line = lines_[fd];
    const auto now = Clock::now();
    const auto never = Clock::time_point::max();
    for (;;) {
        if (line.transfer.empty() && !line.queue.empty() && (!hardware_.refillWhenEmpty || line.buffer.empty())) {
            const std::size_t n = std::min(line.queue.size(), hardware_.transferMax);
            line.transfer.assign(line.queue.begin(), line.queue.begin() + static_cast<std::ptrdiff_t>(n));
            line.queue.erase(line.queue.begin(), line.queue.begin() + static_cast<std::ptrdiff_t>(n));
            line.transferDone = line.at + hardware_.transfer;
        }
        const bool fits = line.buffer.size() + line.transfer.size() <= hardware_.buffer;
        const auto land = !line.transfer.empty() && fits ? std::max(line.transferDone, line.at) : never;
        const auto out = !line.buffer.empty() && !held_ ? line.frontOut : never;
        const auto next = std::min(land, out);
        if (next == never || next > now)
            break;
        line.at = next;
        if (land <= out) {
            if (line.buffer.empty()) {
                if (line.lastOut != Clock::time_point{})
                    idle_ += line.at - line.lastOut;
                line.frontOut = line.at + line.byteTime;
            }
            line.buffer.insert(line.buffer.end(), line.transfer.begin(), line.transfer.end());
            line.transfer.clear();
        } else {
            dropped_ += ::write(fd, &line.buffer.front(), 1) == 1 ? 0 : 1;  // the test reads everything
            line.buffer.pop_front();
            line.lastOut = line.at;
            line.frontOut = line.at + line.byteTime;
        }
    }
    line.at = now;
    return line;
}

long DrainingLine::Write(int fd, const char* data, std::size_t count)
{
    std::lock_guard lock(mutex_);
    Line& line = Settled(fd);
    line.byteTime = ByteTime(fd);
    line.queue.insert(line.queue.end(), data, data + count);
    Settled(fd);  // a transmitter with room takes the bytes at once
    return static_cast<long>(count);
}

bool DrainingLine::Queued(int fd, int* bytes)
{
    std::lock_guard lock(mutex_);
    ++looks_;
    *bytes = static_cast<int>(Counted(Settled(fd)));
    return true;
}

bool DrainingLine::Drop(int fd)
{
    std::lock_guard lock(mutex_);
    Line& line = Settled(fd);
    dropped_ += Counted(line);
    line.queue.clear();
    line.transfer.clear();
    if (hardware_.countsBuffer)
        line.buffer.clear();
    return true;
}

void DrainingLine::Release(int fd)
{
    Drop(fd);
    std::lock_guard lock(mutex_);
    for (const char byte : lines_[fd].buffer)
        dropped_ += ::write(fd, &byte, 1) == 1 ? 0 : 1;
    lines_.erase(fd);
}

void DrainingLine::Hold(bool held)
{
    std::lock_guard lock(mutex_);
    for (auto& [fd, line] : lines_) {
        Settled(fd);
        if (held_ && !held && !line.buffer.empty())
            line.frontOut = line.at + line.byteTime;  // the front byte starts again
    }
    held_ = held;
}

std::size_t DrainingLine::Dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::size_t DrainingLine::Looks() const
{
    std::lock_guard lock(mutex_);
    return looks_;
}

std::chrono::steady_clock::duration DrainingLine::Idle() const
{
    std::lock_guard lock(mutex_);
    return idle_;
}
