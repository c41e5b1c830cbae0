#include "../PlatformUsage.h"

#include "runtime/TextLookup.h"
#include "serial/posix/PortName.h"

#include <cerrno>

const char* const PortOptionsUsage =
    N_("  --port NAME  the port: COMn (default COM1; $COMn_DEVICE names its device),\n"
       "               a device path such as /dev/ttyUSB0, or a name under /dev\n"
       "  --list       the serial ports present, one a line: the device, its stable\n"
       "               /dev/serial/by-id link and the USB adapter's ids and names\n");

const char* const StopUsage =
    N_("HEXFILE may be a pipe or FIFO. It is read whole before the first byte goes out,\n"
       "so the unit gets the file as it was then; a stream that would take more than a\n"
       "day is refused. SIGINT, SIGTERM and SIGHUP stop the upload before its next byte\n"
       "and release the port; the bytes sent are reported.\n");

// COM1 is a name for the device it maps to; a path is its own.
std::string PortLabel(const std::string& port)
{
    const std::string device = DevicePathForPort(port);
    return device == port ? port : port + " (" + device + ")";
}

bool DeviceWentAway(int code)
{
    return code == ENODEV || code == ENXIO || code == EIO;
}
