#include "serial/posix/Port.h"
#include "serial/posix/PendingOp.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace comm;

namespace {

// read(2) where 0 (VMIN is 1, so never "no data yet") means the line hung up.
ssize_t ReadDevice(int fd, char* buffer, std::size_t count)
{
    ssize_t n;
    do
        n = ::read(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    if (n == 0 && count > 0) {
        errno = EIO;
        return -1;
    }
    return n;
}

// Removes the zero bytes of `count` in place; the count left.
std::size_t DropNulls(char* bytes, std::size_t count)
{
    char* end = std::remove(bytes, bytes + count, '\0');
    return static_cast<std::size_t>(end - bytes);
}

} // namespace

// read(2) that drops received zero bytes when the settings ask for it.
ssize_t PosixPort::ReadInput(char* buffer, std::size_t count)
{
    for (;;) {
        ssize_t n = ReadDevice(fd_, buffer, count);
        if (n <= 0 || !discardNull_.load())
            return n;
        n = static_cast<ssize_t>(DropNulls(buffer, static_cast<std::size_t>(n)));
        if (n > 0)
            return n;
    }
}

long PosixPort::ReadSome(char* buffer, DWORD count)
{
    std::lock_guard lock(inputMutex_);
    std::size_t got = std::min<std::size_t>(queued_.size(), count);
    std::memcpy(buffer, queued_.data(), got);
    queued_.erase(0, got);
    if (got == count)
        return static_cast<long>(got);
    ssize_t n = ReadInput(buffer + got, count - got);
    if (n > 0)
        NoteInput(buffer + got, static_cast<std::size_t>(n));
    if (n < 0 && errno == EIO)
        MarkHungUp();
    if (n < 0)
        return got > 0 ? static_cast<long>(got) : -1;
    return static_cast<long>(got + static_cast<std::size_t>(n));
}

bool PosixPort::InQueue(DWORD* bytes)
{
    std::lock_guard lock(inputMutex_);
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0) {
        if (errno == EIO)
            MarkHungUp();
        return false;
    }
    *bytes = static_cast<DWORD>(queued_.size()) + static_cast<DWORD>(waiting);
    return true;
}

// Bytes a read took straight from the device still count as received for a line-event
// wait, as they would if they had passed through the layer's queue.
void PosixPort::NoteInput(const char* bytes, std::size_t count)
{
    char eventChar;
    {
        std::lock_guard state(stateMutex_);
        eventChar = eventChar_;
    }
    DWORD seen = kEvRxChar;
    if (std::memchr(bytes, eventChar, count))
        seen |= kEvRxFlag;
    inputSeen_.fetch_or(seen);
    Poke();
}

void PosixPort::DrainInputWake()
{
    std::uint64_t count = 0;
    ssize_t n = ::read(inputWake_, &count, sizeof count);  // EAGAIN when not woken
    (void)n;
}

bool PosixPort::DropInput()
{
    std::lock_guard lock(inputMutex_);
    queued_.clear();
    return tcflush(fd_, TCIFLUSH) == 0;
}

// Moves arrived bytes into the layer's queue, so that a line-event wait can report each
// arrival once (bytes left unread never wake it again) and see the event character.
long PosixPort::FillQueue(DWORD mask)
{
    std::size_t capacity;
    char eventChar;
    {
        std::lock_guard state(stateMutex_);
        capacity = inQueue_;
        eventChar = eventChar_;
    }
    std::lock_guard lock(inputMutex_);
    std::size_t before = queued_.size();
    long found = 0;
    char chunk[1024];
    while (queued_.size() < capacity) {
        ssize_t n = ReadInput(chunk, std::min(sizeof chunk, capacity - queued_.size()));
        if (n < 0 && errno == EAGAIN)
            break;
        if (n < 0) {
            if (errno == EIO)
                MarkHungUp();
            return found ? found : -1;
        }
        found |= kEvRxChar;
        if (std::memchr(chunk, eventChar, static_cast<std::size_t>(n)))
            found |= kEvRxFlag;
        queued_.append(chunk, static_cast<std::size_t>(n));
    }
    if (queued_.size() > before && HasPending(OpKind::Read)) {
        std::uint64_t one = 1;
        ssize_t n = ::write(inputWake_, &one, sizeof one);
        (void)n;  // a full counter already wakes the read
    }
    std::size_t nearlyFull = capacity * 8 / 10;
    if (before < nearlyFull && queued_.size() >= nearlyFull)
        found |= kEvRx80Full;
    return found & static_cast<long>(mask);
}
