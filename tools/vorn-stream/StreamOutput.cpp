#include "StreamOutput.h"

#include "runtime/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t ChunkSize = 64 * 1024;

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

std::string SpoolPattern()
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/vorn-stream.XXXXXX";
}

bool IsWrittenThrough(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

} // namespace

StreamOutput::StreamOutput(std::optional<std::string> path) : path_(std::move(path))
{
    if (path_)
        ChooseDestination();
}

StreamOutput::~StreamOutput()
{
    if (spool_ >= 0)
        ::close(spool_);
}

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
            Fail("not a regular file, FIFO or character device");
    } else if (errno != ENOENT) {
        Fail(errno);
    }
    replace_ = true;
}

void StreamOutput::Put(std::uint8_t byte)
{
    if (!started_)
        Create();
    pending_.push_back(byte);
    if (pending_.size() >= ChunkSize)
        Flush();
}

// Made at the first byte, so an input that cannot be read leaves nothing behind.
void StreamOutput::Create()
{
    started_ = true;
    pending_.reserve(ChunkSize);
    if (replace_) {
        if (const int err = replacement_.Begin(*path_))
            Fail(err);
        return;
    }
    std::string name = SpoolPattern();
    spool_ = ::mkstemp(name.data());
    if (spool_ < 0 || ::unlink(name.c_str()) != 0)
        Fail(errno);
}

void StreamOutput::Flush()
{
    const int err = replace_ ? replacement_.Write({reinterpret_cast<const char*>(pending_.data()), pending_.size()})
                             : WriteAll(spool_, pending_.data(), pending_.size());
    if (err)
        Fail(err);
    pending_.clear();
}

void StreamOutput::Commit()
{
    if (!started_)
        Create();
    Flush();
    if (replace_) {
        if (const int err = replacement_.Commit())
            Fail(err);
        return;
    }
    if (!path_) {
        CopySpoolTo(STDOUT_FILENO);
        return;
    }
    const int out = OpenWriteThrough();
    try {
        CopySpoolTo(out);
    } catch (...) {
        ::close(out);
        throw;
    }
    if (::close(out) != 0)
        Fail(errno);
}

// Opened only now, so a failed input never touches it; a FIFO waits here for its
// reader. It must still be what it was when chosen.
int StreamOutput::OpenWriteThrough() const
{
    const int fd = ::open(path_->c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        Fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !IsWrittenThrough(st.st_mode)) {
        ::close(fd);
        Fail("not a FIFO or character device any more");
    }
    return fd;
}

void StreamOutput::CopySpoolTo(int out)
{
    if (::lseek(spool_, 0, SEEK_SET) != 0)
        Fail(errno);
    std::vector<std::uint8_t> chunk(ChunkSize);
    for (;;) {
        const ssize_t n = ::read(spool_, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail(errno);
        if (n == 0)
            return;
        if (const int err = WriteAll(out, chunk.data(), std::size_t(n)))
            Fail(err);
    }
}

void StreamOutput::Fail(int err) const
{
    Fail(EInOutError::FromErrno(err).Message());
}

void StreamOutput::Fail(const std::string& reason) const
{
    const std::string where = path_ ? *path_ : "standard output";
    throw OutputError("cannot write " + where + ": " + reason);
}
