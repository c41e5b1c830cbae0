#include "FileReplacement.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file a chain of links ends at, there or not, so that a link to a file yet to
// be made leads to it instead of being replaced.
std::filesystem::path FollowLinks(std::filesystem::path path, int& err)
{
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return path;
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            err = ec.value();
            return {};
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    err = ELOOP;
    return {};
}

std::string TemporaryName(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter{0};
    return target.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++counter);
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
        ::fchown(fd, uid_t(-1), old.st_gid);
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

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

int Rename(const std::string& from, const std::filesystem::path& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(const std::string& from, const std::filesystem::path& to)
{
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
    TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0 || ::fsync(fd.Get()) != 0)
        return errno;
    return 0;
}

} // namespace

TFileReplacement::~TFileReplacement()
{
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
}

int TFileReplacement::Begin(const std::filesystem::path& path)
{
    int err = 0;
    target_ = FollowLinks(path, err);
    if (err)
        return err;
    struct stat old {};
    const bool existed = ::stat(target_.c_str(), &old) == 0;
    if (existed && (err = Refusal(target_, old)))
        return err;
    const std::string temporary = TemporaryName(target_);
    fd_.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd_.Get() < 0)
        return errno;
    temporary_ = temporary;
    return existed ? KeepOwnerAndMode(fd_.Get(), old) : 0;
}

int TFileReplacement::Write(std::string_view bytes)
{
    return WriteAll(fd_.Get(), bytes);
}

int TFileReplacement::Commit()
{
    return Place(false);
}

int TFileReplacement::CommitAsNew()
{
    return Place(true);
}

int TFileReplacement::Place(bool asNew)
{
    // The content reaches the disk before the name points at it.
    if (::fsync(fd_.Get()) != 0 || ::close(fd_.Release()) != 0)
        return errno;
    if (const int err = asNew ? RenameNoReplace(temporary_, target_) : Rename(temporary_, target_))
        return err;
    temporary_.clear();
    // Past the rename the new file is in place: a failed sync here only says it may
    // not survive a crash.
    return SyncFolder(target_);
}
