// What vorn-send says differently on each platform: the lines of its usage about
// ports and stopping, and how it names a port.
#pragma once

#include <string>

extern const char* const PortOptionsUsage;  // --port and --list
extern const char* const StopUsage;         // what stops an upload

// The port as given, and the device it names where that is not plain to see.
std::string PortLabel(const std::string& port);
