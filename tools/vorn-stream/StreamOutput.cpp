#include "StreamOutput.h"

#include "runtime/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

// The path a chain of symbolic links ends at, existing or not; a link is
// followed as the settings files follow theirs, so the link itself stays.
std::string FollowLinks(std::filesystem::path path)
{
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return path.string();
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec)
            return path.string();  // the open that follows reports the problem
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    errno = ELOOP;
    return {};
}

bool IsWrittenThrough(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// mkstemp makes 0600; the result should look like any file the user creates.
int UsualFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

StreamOutput::StreamOutput(std::optional<std::string> path) : path_(std::move(path))
{
    if (path_)
        ChooseDestination();
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
    target_ = FollowLinks(*path_);
    if (target_.empty())
        Fail(errno);
}

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
    std::string name = target_.empty() ? SpoolPattern() : TempPatternBeside(target_);
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0)
        Fail(errno);
    if (!target_.empty()) {
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
    if (!target_.empty()) {
        CommitReplacement();
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

void StreamOutput::CommitReplacement()
{
    if (::fsync(fd_) != 0)
        Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0)
        Fail(errno);
    temp_.clear();
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
