#include "../PlatformUsage.h"

#include "runtime/TextLookup.h"

#include <windows.h>

const char* const PortOptionsUsage =
    N_("  --port NAME  the port, COMn (default COM1)\n"
       "  --list       the serial ports present, one a line\n");

const char* const StopUsage =
    N_("HEXFILE may be a pipe. It is read whole before the first byte goes out, so the\n"
       "unit gets the file as it was then; a stream that would take more than a day is\n"
       "refused. Ctrl-C, Ctrl-Break and closing the console window stop the upload\n"
       "before its next byte and release the port; the bytes sent are reported.\n");

std::string PortLabel(const std::string& port)
{
    return port;
}

// What a USB serial driver answers once its adapter is gone.
bool DeviceWentAway(int code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}
