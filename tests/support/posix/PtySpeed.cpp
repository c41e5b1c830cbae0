// The exact line speed through termios2. <asm/termbits.h> clashes with <termios.h>,
// so it lives alone in this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ReadPtySpeed(int fd, unsigned* input, unsigned* output)
{
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    *input = line.c_ispeed;
    *output = line.c_ospeed;
    return true;
}
