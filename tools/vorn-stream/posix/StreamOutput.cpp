#include "../StreamOutput.h"

#include "runtime/TextLookup.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 0 when every byte was written, else the errno of the failure.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= std::size_t(n);
    }
    return 0;
}

std::string SpoolFolder()
{
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

bool IsWrittenThrough(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

} // namespace

// Replacing a FIFO, a device or a link by a regular file would break whatever
// the user meant by it.
void StreamOutput::ChooseDestination()
{
    // stat follows every link, /proc's descriptor links (/dev/stdout) included.
    struct stat st {};
    if (::stat(path_->c_str(), &st) == 0) {
        if (IsWrittenThrough(st.st_mode))
            return;
        if (!S_ISREG(st.st_mode))
            Fail(CurrentDomainText("not a regular file, FIFO or character device"));
    } else if (errno != ENOENT) {
        Fail(errno);
    }
    replace_ = true;
}

void StreamOutput::CreateSpool()
{
    spoolFolder_ = SpoolFolder();
    std::string name = spoolFolder_ + "/vorn-stream.XXXXXX";
    spool_ = ::mkstemp(name.data());
    if (spool_ < 0 || ::unlink(name.c_str()) != 0)
        FailSpool(EInOutError::FromErrno(errno));
}

void StreamOutput::WriteSpool(const std::uint8_t* data, std::size_t size)
{
    if (const int err = WriteAll(int(spool_), data, size))
        FailSpool(EInOutError::FromErrno(err));
}

// The destination is opened only now, so a failed input never touches it; a FIFO
// waits here for its reader. It must still be what it was when chosen.
void StreamOutput::CopySpoolOut()
{
    if (::lseek(int(spool_), 0, SEEK_SET) != 0)
        FailSpool(EInOutError::FromErrno(errno));
    int out = STDOUT_FILENO;
    if (path_) {
        out = ::open(path_->c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (out < 0)
            Fail(errno);
        struct stat st {};
        if (::fstat(out, &st) != 0 || !IsWrittenThrough(st.st_mode)) {
            ::close(out);
            Fail(CurrentDomainText("not a FIFO or character device any more"));
        }
    }
    int err = 0;
    std::vector<std::uint8_t> chunk(64 * 1024);
    while (err == 0) {
        const ssize_t n = ::read(int(spool_), chunk.data(), chunk.size());
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR) {
            if (out != STDOUT_FILENO)
                ::close(out);
            FailSpool(EInOutError::FromErrno(errno));
        }
        if (n > 0)
            err = WriteAll(out, chunk.data(), std::size_t(n));
    }
    if (out != STDOUT_FILENO && ::close(out) != 0 && err == 0)
        err = errno;
    if (err != 0)
        Fail(err);
}

void StreamOutput::CloseSpool() noexcept
{
    if (spool_ >= 0)
        ::close(int(spool_));
    spool_ = -1;
}
