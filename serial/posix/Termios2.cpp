#include "serial/posix/Termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

struct Rate {
    unsigned bits;
    unsigned code;
};

constexpr Rate StandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

void MakeRaw(struct termios2& line)
{
    line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                      IXANY | INPCK | IUCLC | IMAXBEL);
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 1;  // an empty non-blocking read says EAGAIN; 0 means hang-up
    line.c_cc[VTIME] = 0;
}

void SetSpeed(struct termios2& line, unsigned rate)
{
    unsigned code = BOTHER;
    for (const Rate& r : StandardRates)
        if (r.bits == rate)
            code = r.code;
    line.c_cflag &= ~(CBAUD | CIBAUD);  // input speed follows the output speed
    line.c_cflag |= code;
    line.c_ispeed = rate;
    line.c_ospeed = rate;
}

void SetFraming(struct termios2& line, const LineSetup& setup)
{
    static constexpr unsigned sizes[] = {CS5, CS6, CS7, CS8};
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.c_cflag |= sizes[setup.DataBits - 5];
    switch (setup.Parity) {
    case 'O': line.c_cflag |= PARENB | PARODD; break;
    case 'E': line.c_cflag |= PARENB; break;
    case 'M': line.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 'S': line.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (setup.TwoStopBits)
        line.c_cflag |= CSTOPB;
    if (setup.RtsCts)
        line.c_cflag |= CRTSCTS;
    if (setup.XonXoffOut)
        line.c_iflag |= IXON;
    if (setup.XonXoffIn)
        line.c_iflag |= IXOFF;
    if (setup.CheckParity && setup.Parity != 'N')
        line.c_iflag |= INPCK;
    line.c_cc[VSTART] = setup.XonChar;
    line.c_cc[VSTOP] = setup.XoffChar;
}

} // namespace

bool ReadLineState(int fd, LineState* state)
{
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    *state = LineState{line.c_cflag, line.c_ispeed, line.c_ospeed};
    return true;
}

bool MakeRawLine(int fd)
{
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    MakeRaw(line);
    return ioctl(fd, TCSETS2, &line) == 0;
}

bool ApplyLineSetup(int fd, const LineSetup& setup)
{
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    MakeRaw(line);
    SetSpeed(line, setup.Rate);
    SetFraming(line, setup);
    return ioctl(fd, TCSETS2, &line) == 0;
}
