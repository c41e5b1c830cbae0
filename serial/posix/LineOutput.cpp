#include "serial/posix/LineOutput.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

class TKernelOutput final : public TLineOutput {
public:
    // Unix98 pseudo-terminal slaves (majors 136 to 143) keep no output queue of their
    // own: a write has gone once write(2) took it, and asking costs a system call per write.
    bool HasQueue(int fd) override
    {
        struct stat device {};
        return !(fstat(fd, &device) == 0 && S_ISCHR(device.st_mode) && major(device.st_rdev) >= 136 &&
                 major(device.st_rdev) <= 143);
    }

    long Write(int fd, const char* data, std::size_t count) override
    {
        ssize_t n;
        do
            n = ::write(fd, data, count);
        while (n < 0 && errno == EINTR);
        return static_cast<long>(n);
    }

    bool Queued(int fd, int* bytes) override { return ioctl(fd, TIOCOUTQ, bytes) == 0; }
    bool Drop(int fd) override { return tcflush(fd, TCOFLUSH) == 0; }
};

} // namespace

TLineOutput& KernelLineOutput()
{
    static TKernelOutput output;
    return output;
}
