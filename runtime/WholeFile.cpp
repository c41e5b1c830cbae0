#include "WholeFile.h"

#include "runtime/FileReplacement.h"
#include "runtime/FileSystem.h"

#include <cerrno>

namespace {

// A settings file this large is a mistake (or a device that never ends).
constexpr std::size_t kMaxBytes = 16u << 20;

int ReadAll(const TFd& fd, std::string& bytes)
{
    bytes.clear();
    char chunk[8192];
    for (;;) {
        std::size_t n = 0;
        if (const int err = ReadSome(fd, chunk, sizeof chunk, n))
            return err;
        if (n == 0)
            return 0;
        if (bytes.size() + n > kMaxBytes)
            return EFBIG;
        bytes.append(chunk, n);
    }
}

// Opens the file and reads it; a missing one gives ENOENT.
int Read(TFileLock& lock, const std::filesystem::path& path, bool update, std::string& bytes)
{
    TFd fd;
    const int err = lock.Open(path, update, fd);
    return err ? err : ReadAll(fd, bytes);
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
    TFileLock lock;
    return Read(lock, path, false, bytes);
}

TUpdateResult UpdateWholeFile(const std::filesystem::path& path, const std::function<void(std::string&)>& change)
{
    for (;;) {
        TFileLock lock;
        std::string bytes;
        int err = Read(lock, path, true, bytes);
        if (err && err != ENOENT)
            return {err, true};
        const bool missing = err == ENOENT;
        change(bytes);
        // Written larger, it could never be read again.
        if (bytes.size() > kMaxBytes)
            return {EFBIG, false};
        err = Replace(path, bytes, missing);
        // Another writer created the missing file meanwhile: change that one instead.
        if (err != EEXIST || !missing)
            return {err, false};
    }
}
