#include "runtime/FileDescriptor.h"

#include <unistd.h>

void TFd::Reset(TNative fd)
{
    if (fd_ >= 0)
        ::close(int(fd_));
    fd_ = fd;
}
