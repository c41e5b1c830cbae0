// The operating system's own words for one of its error codes, for messages that
// name a failure: strerror on POSIX, FormatMessage on Windows.
#pragma once

#include <string>

// `code` is what the platform's failing call left: an errno value on POSIX, a
// GetLastError value on Windows. Empty when the system has no text for it.
std::string SystemErrorText(int code);
