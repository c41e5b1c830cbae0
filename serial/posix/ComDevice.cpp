#include "serial/ComDevice.h"

#include "serial/posix/PosixComDevice.h"

TComDevice& SystemComDevice()
{
    static PosixComDevice device;
    return device;
}
