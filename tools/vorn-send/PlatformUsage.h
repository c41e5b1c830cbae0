// The lines of vorn-send's usage whose facts differ between platforms.
#pragma once

extern const char* const PortOptionsUsage;  // --port and --list
extern const char* const StopUsage;         // what stops an upload
