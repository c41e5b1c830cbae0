#include "../PlatformUsage.h"

const char* const PortOptionsUsage =
    "  --port NAME  the port, COMn (default COM1)\n"
    "  --list       the serial ports present, one a line\n";

const char* const StopUsage =
    "Ctrl-C, Ctrl-Break and closing the console window stop the upload before its\n"
    "next byte and release the port; the bytes sent are reported.\n";
