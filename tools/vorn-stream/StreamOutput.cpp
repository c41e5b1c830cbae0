#include "StreamOutput.h"

#include "runtime/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
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

// A hidden name in OUT's own folder, so that the final rename stays on one file system.
std::string TempPatternBeside(const std::string& path)
{
    const std::filesystem::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
}

std::string SpoolPattern()
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/vorn-stream.XXXXXX";
}

// mkstemp makes 0600; the result should look like any file the user creates.
int UsualFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

StreamOutput::StreamOutput(std::optional<std::string> path) : path_(std::move(path)) {}

StreamOutput::~StreamOutput()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

void StreamOutput::Put(std::uint8_t byte)
{
    if (fd_ < 0)
        Create();
    pending_.push_back(byte);
    if (pending_.size() >= ChunkSize)
        Flush();
}

// Made at the first byte, so an input that cannot be read leaves nothing behind.
void StreamOutput::Create()
{
    std::string name = path_ ? TempPatternBeside(*path_) : SpoolPattern();
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0)
        Fail(errno);
    if (path_) {
        temp_ = name;
        if (::fchmod(fd_, UsualFileMode()) != 0)
            Fail(errno);
    } else if (::unlink(name.c_str()) != 0) {
        Fail(errno);
    }
    pending_.reserve(ChunkSize);
}

void StreamOutput::Flush()
{
    if (const int err = WriteAll(fd_, pending_.data(), pending_.size()))
        Fail(err);
    pending_.clear();
}

void StreamOutput::Commit()
{
    if (fd_ < 0)
        Create();
    Flush();
    if (!path_) {
        CopyToStandardOutput();
        return;
    }
    if (::fsync(fd_) != 0)
        Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temp_.c_str(), path_->c_str()) != 0)
        Fail(errno);
    temp_.clear();
}

void StreamOutput::CopyToStandardOutput()
{
    if (::lseek(fd_, 0, SEEK_SET) != 0)
        Fail(errno);
    std::vector<std::uint8_t> chunk(ChunkSize);
    for (;;) {
        const ssize_t n = ::read(fd_, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail(errno);
        if (n == 0)
            return;
        if (const int err = WriteAll(STDOUT_FILENO, chunk.data(), std::size_t(n)))
            Fail(err);
    }
}

void StreamOutput::Fail(int err) const
{
    const std::string where = path_ ? *path_ : "standard output";
    throw OutputError("cannot write " + where + ": " + EInOutError::FromErrno(err).Message());
}
