#include "WholeFile.h"

#include "runtime/FileDescriptor.h"
#include "runtime/FileReplacement.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A settings file this large is a mistake (or a device that never ends).
constexpr std::size_t kMaxBytes = 16u << 20;

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
    TFileReplacement replacement;
    int err = replacement.Begin(path);
    if (!err)
        err = replacement.Write(bytes);
    return err ? err : replacement.Commit();
}

std::string ErrorText(int err)
{
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    return ::strerror_r(err, buffer, sizeof buffer);
}
