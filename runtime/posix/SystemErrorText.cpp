#include "runtime/SystemErrorText.h"

#include "runtime/WholeFile.h"

// The system's code on POSIX is an errno value.
std::string SystemErrorText(int code)
{
    return ErrorText(code);
}
