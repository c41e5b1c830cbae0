#include "runtime/FileDescriptor.h"

#include <windows.h>

void TFd::Reset(TNative fd)
{
    if (fd_ >= 0)
        CloseHandle(reinterpret_cast<HANDLE>(fd_));
    fd_ = fd;
}
