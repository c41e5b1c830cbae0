// DCB to termios: raw mode always, then speed, framing, flow control and modem lines.
#include "serial/posix/Port.h"
#include "serial/posix/Termios2.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

namespace {

struct Rate {
    DWORD bits;
    speed_t code;
};

constexpr Rate StandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// The Bxxx code of a rate, or B0 when it needs termios2.
speed_t SpeedCode(DWORD rate)
{
    for (const Rate& r : StandardRates)
        if (r.bits == rate)
            return r.code;
    return B0;
}

bool Valid(const DCB& dcb)
{
    return dcb.BaudRate > 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           dcb.Parity <= SPACEPARITY && dcb.StopBits <= TWOSTOPBITS;
}

void SetFraming(termios& line, const DCB& dcb)
{
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.c_cflag |= sizes[dcb.ByteSize - 5] | CLOCAL | CREAD;
    switch (dcb.Parity) {
    case ODDPARITY: line.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: line.c_cflag |= PARENB; break;
    case MARKPARITY: line.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: line.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    // Linux has no 1.5 stop bits: 2 is the nearer safe choice for the receiver.
    if (dcb.StopBits != ONESTOPBIT)
        line.c_cflag |= CSTOPB;
}

void SetFlowControl(termios& line, const DCB& dcb)
{
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        line.c_cflag |= CRTSCTS;
    line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (dcb.fOutX)
        line.c_iflag |= IXON;
    if (dcb.fInX)
        line.c_iflag |= IXOFF;
    if (dcb.fParity && dcb.Parity != NOPARITY)
        line.c_iflag |= INPCK;
    line.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    line.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

// DTR and RTS held as the DCB says, where the driver has modem lines.
bool SetModemLines(int fd, const DCB& dcb)
{
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    bool dtrOn = dcb.fDtrControl != DTR_CONTROL_DISABLE;
    bool rtsOn = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    for (auto [bit, on] : {std::pair{&dtr, dtrOn}, std::pair{&rts, rtsOn}})
        if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, bit) != 0 && errno != ENOTTY && errno != EINVAL)
            return false;
    return true;
}

} // namespace

bool PosixPort::SetState(const DCB& dcb)
{
    if (!Valid(dcb)) {
        errno = EINVAL;
        return false;
    }
    termios line{};
    if (tcgetattr(fd_, &line) != 0)
        return false;
    cfmakeraw(&line);
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    SetFraming(line, dcb);
    SetFlowControl(line, dcb);
    speed_t code = SpeedCode(dcb.BaudRate);
    cfsetispeed(&line, code == B0 ? B38400 : code);
    cfsetospeed(&line, code == B0 ? B38400 : code);
    if (tcsetattr(fd_, TCSANOW, &line) != 0)
        return false;
    if (code == B0 && !SetExactSpeed(fd_, dcb.BaudRate))
        return false;
    if (hasLines_ && !SetModemLines(fd_, dcb))
        return false;
    std::lock_guard lock(stateMutex_);
    baud_ = dcb.BaudRate;
    frameBits_ = 1u + dcb.ByteSize + (dcb.Parity != NOPARITY) + (dcb.StopBits != ONESTOPBIT ? 2u : 1u);
    eventChar_ = dcb.EvtChar;
    return true;
}
