// Files through POSIX descriptors.
#include "runtime/FileSystem.h"
#include "runtime/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(const TFd& fd)
{
    return int(fd.Get());
}

// Opens a regular file for reading; `st` tells what it is.
int OpenRegular(const std::filesystem::path& path, TFd& fd, struct stat& st)
{
    // Non-blocking, so that a FIFO without a writer cannot hold the caller.
    fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    int err = 0;
    if (!fd.IsOpen() || ::fstat(Fd(fd), &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (err)
        fd.Reset();
    return err;
}

// Waits for the exclusive lock. Every writer holds it for one read, change and replace
// only, with no wait of its own inside, and the system lets it go when a writer dies.
int Lock(const TFd& fd)
{
    while (::flock(Fd(fd), LOCK_EX) != 0)
        if (errno != EINTR)
            return errno;
    return 0;
}

// Why an existing file may not be replaced, or 0.
int Refusal(const std::filesystem::path& target, const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if ((st.st_mode & 0222) == 0)
        return EACCES;
    return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// Owner first: changing it clears the set-id bits that the mode then puts back. A
// process that may not give the file away (EPERM, or EINVAL for an owner its user
// namespace cannot name) keeps the group if it may and writes the file as its own.
int KeepOwnerAndMode(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        if (errno != EPERM && errno != EINVAL)
            return errno;
        [[maybe_unused]] const int kept = ::fchown(fd, uid_t(-1), old.st_gid);  // the group only where it may
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

} // namespace

int OpenRegular(const std::filesystem::path& path, TFd& fd)
{
    struct stat st {};
    return OpenRegular(path, fd, st);
}

int ReadSome(const TFd& fd, char* buffer, std::size_t size, std::size_t& got)
{
    for (;;) {
        const ssize_t n = ::read(Fd(fd), buffer, size);
        if (n >= 0) {
            got = std::size_t(n);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

int WriteAll(const TFd& fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(Fd(fd), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        bytes.remove_prefix(std::size_t(n));
    }
    return 0;
}

TFileLock::~TFileLock()
{
    if (held_ >= 0)
        ::close(int(held_));
}

// Starts over only when another writer has put a new file in its place while this
// one waited. Readers take no lock: the file is only ever replaced whole.
int TFileLock::Open(const std::filesystem::path& path, bool update, TFd& fd)
{
    for (;;) {
        struct stat locked {}, now {};
        if (const int err = OpenRegular(path, fd, locked); err || !update)
            return err;
        if (const int err = Lock(fd))
            return err;
        const bool named = ::stat(path.c_str(), &now) == 0;
        if (named && now.st_dev == locked.st_dev && now.st_ino == locked.st_ino) {
            // A second descriptor of the same open file keeps the lock when `fd` closes.
            held_ = ::dup(Fd(fd));
            return held_ >= 0 ? 0 : errno;
        }
        if (!named && errno != ENOENT)
            return errno;
    }
}

int CreateReplacement(const std::filesystem::path& target, const std::filesystem::path& temporary, TFd& fd)
{
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed)
        if (const int err = Refusal(target, old))
            return err;
    fd.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.IsOpen())
        return errno;
    return existed ? KeepOwnerAndMode(Fd(fd), old) : 0;
}

int SyncAndClose(TFd& fd)
{
    if (::fsync(Fd(fd)) != 0 || ::close(int(fd.Release())) != 0)
        return errno;
    return 0;
}

int Rename(const std::filesystem::path& from, const std::filesystem::path& to, bool replace)
{
    if (replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that rename: a second link is just as exclusive.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

// A rename lasts through a crash once its folder is synced.
int SyncFolder(const std::filesystem::path& file)
{
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

void RemoveFile(const std::filesystem::path& path)
{
    ::unlink(path.c_str());
}

std::uint64_t ProcessId()
{
    return std::uint64_t(::getpid());
}

std::string ErrorText(int err)
{
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    return ::strerror_r(err, buffer, sizeof buffer);
}
