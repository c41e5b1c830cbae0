// An open file that is closed with its owner: a descriptor on POSIX, a handle on
// Windows, held as an integer so that this header needs neither system's.
#pragma once

#include <cstdint>

class TFd {
public:
    using TNative = std::intptr_t;  // negative: none (-1 is also Windows' invalid handle)

    explicit TFd(TNative fd = -1) : fd_(fd) {}
    ~TFd() { Reset(); }
    TFd(TFd&& other) noexcept : fd_(other.Release()) {}
    TFd& operator=(TFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    TNative Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    TNative Release() { TNative fd = fd_; fd_ = -1; return fd; }
    // Closes the file held, if any, and holds `fd` instead (posix/ and win32/FileDescriptor.cpp).
    void Reset(TNative fd = -1);

private:
    TNative fd_;
};
