#include "WholeFile.h"

#include "runtime/FileDescriptor.h"
#include "runtime/FileReplacement.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

// A settings file this large is a mistake (or a device that never ends).
constexpr std::size_t kMaxBytes = 16u << 20;

// Opens a regular file for reading; -1 with `err` set when it cannot.
int OpenRegular(const std::filesystem::path& path, struct stat& st, int& err)
{
    // Non-blocking, so that a FIFO without a writer cannot hold the caller.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return err ? -1 : fd.Release();
}

int ReadAll(int fd, std::string& bytes)
{
    bytes.clear();
    char chunk[8192];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
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

// Waits for the exclusive lock. Every writer holds it for one read, change and replace
// only, with no wait of its own inside, and the system lets it go when a writer dies.
int Lock(int fd)
{
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return errno;
    return 0;
}

// Opens the file at `path` and locks it; -1 with `err` set (ENOENT: no file). Starts
// over only when another writer has put a new file in its place while this one waited.
int OpenLocked(const std::filesystem::path& path, int& err)
{
    for (;;) {
        struct stat locked {}, now {};
        TFd fd(OpenRegular(path, locked, err));
        if (fd.Get() < 0 || (err = Lock(fd.Get())))
            return -1;
        const bool named = ::stat(path.c_str(), &now) == 0;
        if (named && now.st_dev == locked.st_dev && now.st_ino == locked.st_ino)
            return fd.Release();
        if (!named && errno != ENOENT) {
            err = errno;
            return -1;
        }
    }
}

int Replace(const std::filesystem::path& path, std::string_view bytes, bool asNew)
{
    TFileReplacement replacement;
    int err = replacement.Begin(path);
    if (!err)
        err = replacement.Write(bytes);
    if (err)
        return err;
    return asNew ? replacement.CommitAsNew() : replacement.Commit();
}

} // namespace

int ReadWholeFile(const std::filesystem::path& path, std::string& bytes)
{
    int err = 0;
    struct stat st {};
    TFd fd(OpenRegular(path, st, err));
    return err ? err : ReadAll(fd.Get(), bytes);
}

TUpdateResult UpdateWholeFile(const std::filesystem::path& path, const std::function<void(std::string&)>& change)
{
    for (;;) {
        int err = 0;
        TFd fd(OpenLocked(path, err));
        std::string bytes;
        if (!err)
            err = ReadAll(fd.Get(), bytes);
        if (err && err != ENOENT)
            return {err, true};
        change(bytes);
        // Written larger, it could never be read again.
        if (bytes.size() > kMaxBytes)
            return {EFBIG, false};
        err = Replace(path, bytes, fd.Get() < 0);
        // Another writer created the missing file meanwhile: change that one instead.
        if (err != EEXIST || fd.Get() >= 0)
            return {err, false};
    }
}

std::string ErrorText(int err)
{
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    return ::strerror_r(err, buffer, sizeof buffer);
}
