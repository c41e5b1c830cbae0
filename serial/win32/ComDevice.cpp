#include "serial/ComDevice.h"

#include "serial/win32/Win32ComDevice.h"

TComDevice& SystemComDevice()
{
    static Win32ComDevice device;
    return device;
}
