#include "../PlatformUsage.h"

const char* const PortOptionsUsage =
    "  --port NAME  the port: COMn (default COM1; $COMn_DEVICE names its device),\n"
    "               a device path such as /dev/ttyUSB0, or a name under /dev\n"
    "  --list       the serial ports present, one a line: the device, its stable\n"
    "               /dev/serial/by-id link and the USB adapter's ids and names\n";

const char* const StopUsage =
    "HEXFILE may be a pipe or FIFO; it is read once. SIGINT, SIGTERM and SIGHUP stop\n"
    "the upload before its next byte and release the port; the bytes sent are reported.\n";
