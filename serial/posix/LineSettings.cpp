// DCB to the line: speed, framing, flow control and the modem lines DTR and RTS.
#include "serial/posix/Port.h"
#include "serial/posix/Termios2.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <utility>

using namespace comm;

namespace {

bool Valid(const DCB& dcb)
{
    return dcb.BaudRate > 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           dcb.Parity <= kSpaceParity && dcb.StopBits <= kTwoStopBits;
}

LineSetup SetupOf(const DCB& dcb)
{
    LineSetup setup;
    setup.Rate = dcb.BaudRate;
    setup.DataBits = dcb.ByteSize;
    setup.Parity = "NOEMS"[dcb.Parity];
    // Linux has no 1.5 stop bits; 2 is the nearer choice a receiver accepts.
    setup.TwoStopBits = dcb.StopBits != kOneStopBit;
    // The kernel has one switch for both directions of hardware flow control.
    setup.RtsCts = dcb.fOutxCtsFlow || dcb.fRtsControl == kRtsControlHandshake;
    setup.XonXoffOut = dcb.fOutX;
    setup.XonXoffIn = dcb.fInX;
    setup.CheckParity = dcb.fParity;
    setup.XonChar = static_cast<unsigned char>(dcb.XonChar);
    setup.XoffChar = static_cast<unsigned char>(dcb.XoffChar);
    return setup;
}

// DTR and RTS held as the DCB says, where the driver has modem lines.
bool SetModemLines(int fd, const DCB& dcb)
{
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    bool dtrOn = dcb.fDtrControl != kDtrControlDisable;
    bool rtsOn = dcb.fRtsControl != kRtsControlDisable;
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
    if (!ApplyLineSetup(fd_, SetupOf(dcb)))
        return false;
    if (hasLines_ && !SetModemLines(fd_, dcb))
        return false;
    std::lock_guard lock(stateMutex_);
    baud_ = dcb.BaudRate;
    frameBits_ = 1u + dcb.ByteSize + (dcb.Parity != kNoParity) + (dcb.StopBits != kOneStopBit ? 2u : 1u);
    eventChar_ = dcb.EvtChar;
    discardNull_.store(dcb.fNull);
    return true;
}
