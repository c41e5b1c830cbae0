#include "serial/posix/Port.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>

using namespace comm;

long PosixPort::WriteSome(const char* data, DWORD count)
{
    if (HungUp()) {
        errno = EIO;
        return -1;
    }
    const long n = output_.Write(fd_, data, count);
    if (n > 0)
        NoteOutput();
    else if (n < 0 && errno == EIO)
        MarkHungUp();
    return n;
}

// Tells a line-event wait that tx-empty has become possible. The wait arms wakeArmed_
// before it looks at txWatch_, so one of the two always sees the other.
void PosixPort::NoteOutput()
{
    txWatch_.store(true);
    Poke();
}

void PosixPort::Poke()
{
    if (wakeArmed_.exchange(false)) {
        std::uint64_t one = 1;
        ssize_t n = ::write(wake_, &one, sizeof one);
        (void)n;  // a full counter already wakes the wait
    }
}

bool PosixPort::OutQueue(DWORD* bytes)
{
    int queued = 0;
    if (hasOutQueue_ && !output_.Queued(fd_, &queued)) {
        if (errno != ENOTTY && errno != EINVAL) {
            if (errno == EIO)
                MarkHungUp();
            return false;
        }
        queued = 0;
    }
    *bytes = static_cast<DWORD>(queued);
    return true;
}

bool PosixPort::DropOutput()
{
    DWORD queued = 0;
    if (!OutQueue(&queued))
        return false;
    return queued == 0 || output_.Drop(fd_);
}
