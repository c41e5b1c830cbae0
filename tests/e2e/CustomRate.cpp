// termios2 comes from the kernel's header, which cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

void SetCustomRateOf(int fd, std::uint32_t bitsPerSecond)
{
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        throw std::system_error(errno, std::generic_category(), "TCGETS2");
    t.c_cflag = (t.c_cflag & ~CBAUD) | BOTHER;
    t.c_ispeed = t.c_ospeed = bitsPerSecond;
    if (::ioctl(fd, TCSETS2, &t) != 0)
        throw std::system_error(errno, std::generic_category(), "TCSETS2");
}
