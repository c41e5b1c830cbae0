// The file calls under WholeFile and FileReplacement, one implementation a platform
// (posix/, win32/). Every int returned is 0 or an errno value.
#pragma once

#include "runtime/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

// Opens the regular file at `path` to read, never in the way of a writer or of a
// replacement; EISDIR or EINVAL when the name is no regular file.
int OpenRegular(const std::filesystem::path& path, TFd& fd);
// Reads up to `size` bytes; `got` is 0 at the end of the file.
int ReadSome(const TFd& fd, char* buffer, std::size_t size, std::size_t& got);
int WriteAll(const TFd& fd, std::string_view bytes);

// While it lives, no other update of the file runs. POSIX locks the file itself and
// starts over when another writer replaced it meanwhile. Windows cannot replace a file
// that anyone holds open, so there the lock is a mutex named after the path, and our
// readers take it too.
class TFileLock {
public:
    TFileLock() = default;
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Opens the file at `path` to read (ENOENT: there is none), for an update once no
    // other update of it runs. Close `fd` before replacing the file.
    int Open(const std::filesystem::path& path, bool update, TFd& fd);

private:
    std::intptr_t held_ = -1;  // the lock's descriptor or handle
};

// Begins replacing `target` (there or not) with `temporary`, made here and only here:
// refuses a target that may not be replaced (EISDIR, EINVAL, EACCES) and gives the new
// file what it keeps of the old one.
int CreateReplacement(const std::filesystem::path& target, const std::filesystem::path& temporary, TFd& fd);
// The content reaches the disk before the file is closed.
int SyncAndClose(TFd& fd);
// Renames `from` over `to`, or only where `to` is missing (else EEXIST, nothing changed).
int Rename(const std::filesystem::path& from, const std::filesystem::path& to, bool replace);
// Makes a rename into the file's folder last through a crash, where that is a step of its own.
int SyncFolder(const std::filesystem::path& file);
void RemoveFile(const std::filesystem::path& path);
std::uint64_t ProcessId();
