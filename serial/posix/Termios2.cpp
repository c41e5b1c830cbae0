#include "serial/posix/Termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetExactSpeed(int fd, unsigned rate)
{
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    line.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    line.c_ispeed = rate;
    line.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &line) == 0;
}
