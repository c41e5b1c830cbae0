#include "PortWriter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

void SetCustomRateOf(int fd, std::uint32_t bitsPerSecond);  // CustomRate.cpp: termios2 clashes with <termios.h>

PortWriter::PortWriter(const std::string& path, bool twoStopBits)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "open " + path);
    if (::ioctl(fd_, TIOCEXCL) != 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        throw std::system_error(errno, std::generic_category(), "exclusive " + path);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag = twoStopBits ? (t.c_cflag | CSTOPB) : (t.c_cflag & ~CSTOPB);
    ::cfsetspeed(&t, B600);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        throw std::system_error(errno, std::generic_category(), "tcsetattr");
}

PortWriter::~PortWriter()
{
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

void PortWriter::SetCustomRate(std::uint32_t bitsPerSecond)
{
    SetCustomRateOf(fd_, bitsPerSecond);
}

void PortWriter::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        ASSERT_GT(n, 0) << std::strerror(errno);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}
