// Where the layer's writes go and what of them is still queued for the line: the
// kernel's driver, or, in tests, a model of a line that drains at its rate (a
// pseudo-terminal has no output queue, so there a write would always complete at
// once and the completion rule could not be seen).
#pragma once

#include <cstddef>

class TLineOutput {
public:
    virtual ~TLineOutput() = default;
    // Whether asking for the queue tells anything: a pseudo-terminal has none.
    virtual bool HasQueue(int fd) = 0;
    // As write(2): the bytes taken, or -1 with errno.
    virtual long Write(int fd, const char* data, std::size_t count) = 0;
    // The bytes taken but not yet on the line; false with errno.
    virtual bool Queued(int fd, int* bytes) = 0;
    // Drops what is queued; false with errno.
    virtual bool Drop(int fd) = 0;
    // The descriptor is about to be closed.
    virtual void Release(int) {}
};

// write(2), TIOCOUTQ and tcflush(TCOFLUSH).
TLineOutput& KernelLineOutput();
