#include "../PlatformFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool CanOpen(const std::filesystem::path& path, bool forWriting)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool locked = flock(fd, (forWriting ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
    close(fd);
    return locked;
}

TWriterHold::TWriterHold(const std::filesystem::path& path) : handle(open(path.c_str(), O_RDWR | O_CLOEXEC))
{
    flock(int(handle), LOCK_EX);
}

TWriterHold::~TWriterHold()
{
    close(int(handle));
}

const char* const DevicePath = "/dev/null";
