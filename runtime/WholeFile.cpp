#include "WholeFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file this large is a mistake (or a device that never ends).
constexpr std::size_t kMaxBytes = 16u << 20;

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() { if (fd_ >= 0) ::close(fd_); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    int Release() { int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        bytes.remove_prefix(std::size_t(n));
    }
    return 0;
}

std::filesystem::path FollowLinks(const std::filesystem::path& path, int& err)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    auto target = std::filesystem::weakly_canonical(path, ec);
    err = ec.value();
    return target;
}

std::string TemporaryName(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter{0};
    return target.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

} // namespace

int ReadWholeFile(const std::filesystem::path& path, std::string& bytes)
{
    // Non-blocking, so that a FIFO without a writer cannot hold the caller.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    bytes.clear();
    char chunk[8192];
    for (;;) {
        ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        if (bytes.size() + std::size_t(n) > kMaxBytes)
            return EFBIG;
        bytes.append(chunk, std::size_t(n));
    }
}

int ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes)
{
    int err = 0;
    const auto target = FollowLinks(path, err);
    if (err)
        return err;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        return S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
    const std::string temporary = TemporaryName(target);
    TFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Get() < 0)
        return errno;
    err = WriteAll(fd.Get(), bytes);
    if (!err && existed && ::fchmod(fd.Get(), old.st_mode & 07777) != 0)
        err = errno;
    if (!err && ::close(fd.Release()) != 0)
        err = errno;
    if (!err && ::rename(temporary.c_str(), target.c_str()) != 0)
        err = errno;
    if (err)
        ::unlink(temporary.c_str());
    return err;
}

std::string ErrorText(int err)
{
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    return ::strerror_r(err, buffer, sizeof buffer);
}
