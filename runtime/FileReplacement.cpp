#include "FileReplacement.h"

#include "runtime/FileSystem.h"

#include <atomic>
#include <cerrno>

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

std::filesystem::path TemporaryName(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter{0};
    std::filesystem::path name = target;
    name += ".tmp." + std::to_string(ProcessId()) + "." + std::to_string(++counter);
    return name;
}

} // namespace

TFileReplacement::~TFileReplacement()
{
    fd_.Reset();  // Windows removes no file that is still open
    if (!temporary_.empty())
        RemoveFile(temporary_);
}

int TFileReplacement::Begin(const std::filesystem::path& path)
{
    int err = 0;
    target_ = FollowLinks(path, err);
    if (err)
        return err;
    const std::filesystem::path temporary = TemporaryName(target_);
    err = CreateReplacement(target_, temporary, fd_);
    if (fd_.IsOpen())
        temporary_ = temporary;
    return err;
}

int TFileReplacement::Write(std::string_view bytes)
{
    return WriteAll(fd_, bytes);
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
    if (const int err = SyncAndClose(fd_))
        return err;
    if (const int err = Rename(temporary_, target_, !asNew))
        return err;
    temporary_.clear();
    // Past the rename the new file is in place: a failed sync here only says it may
    // not survive a crash.
    return SyncFolder(target_);
}
