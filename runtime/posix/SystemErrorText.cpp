#include "runtime/SystemErrorText.h"

#include <cstring>

std::string SystemErrorText(int code)
{
    char buffer[256];
    // GNU's strerror_r: the text may be a static one rather than the buffer.
    return ::strerror_r(code, buffer, sizeof buffer);
}
