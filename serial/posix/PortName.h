// Where a port name leads on Linux.
#pragma once

#include <string>

// The device path for a name as the component passes it ("\\.\" followed by the port):
// a path starting with "/" is used as it is; "COMn" (any case) is $COMn_DEVICE when set,
// else /dev/ttyS<n-1>; any other name is looked for under /dev.
std::string DevicePathForPort(const std::string& name);
