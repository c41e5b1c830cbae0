// What vorn-send says differently on each platform: the lines of its usage about
// ports and stopping, how it names a port, and which errors mean the device went away.
#pragma once

#include <string>

extern const char* const PortOptionsUsage;  // --port and --list
extern const char* const StopUsage;         // what stops an upload

// The port as given, and the device it names where that is not plain to see.
std::string PortLabel(const std::string& port);

// True when a port's error code says its device went away, as a USB adapter pulled out
// does. Its driver drops what it still held, and until it notices the loss its queue
// reads empty after every failed transfer: bytes counted as sent may not be on the line.
bool DeviceWentAway(int code);
