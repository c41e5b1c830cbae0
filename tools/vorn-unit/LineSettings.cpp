#include "tools/vorn-unit/LineSettings.h"

#include "serial/posix/Termios2.h"

#include <termios.h>

#include <cerrno>
#include <system_error>

namespace {

int DataBits(std::uint32_t cflag)
{
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

char Parity(std::uint32_t cflag)
{
    if (!(cflag & PARENB))
        return 'N';
    const bool odd = cflag & PARODD;
    if (cflag & CMSPAR)
        return odd ? 'M' : 'S';
    return odd ? 'O' : 'E';
}

const char* ParityText(char parity)
{
    switch (parity) {
    case 'O': return "odd parity";
    case 'E': return "even parity";
    case 'M': return "mark parity";
    case 'S': return "space parity";
    default: return "no parity";
    }
}

const char* StopBitsText(UnitStopBits stopBits)
{
    switch (stopBits) {
    case UnitStopBits::OneAndHalf: return "1.5 stop bits";
    case UnitStopBits::Two: return "2 stop bits";
    default: return "1 stop bit";
    }
}

}  // namespace

LineSettings DecodeLineSettings(std::uint32_t cflag, std::uint32_t speed)
{
    LineSettings s;
    s.speed = speed;
    s.dataBits = DataBits(cflag);
    s.parity = Parity(cflag);
    // With five data bits the second stop bit is a half one on a UART.
    if (cflag & CSTOPB)
        s.stopBits = s.dataBits == 5 ? UnitStopBits::OneAndHalf : UnitStopBits::Two;
    return s;
}

LineSettings ReadLineSettings(int masterFd)
{
    LineState line;
    if (!ReadLineState(masterFd, &line))
        throw std::system_error(errno, std::generic_category(), "cannot read the line settings");
    return DecodeLineSettings(line.ControlFlags, line.OutputSpeed);
}

std::string DescribeLineSettings(const LineSettings& s)
{
    return std::to_string(s.speed) + " bit/s, " + std::to_string(s.dataBits) + " data bits, "
        + ParityText(s.parity) + ", " + StopBitsText(s.stopBits);
}
