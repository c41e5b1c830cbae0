// Files through Windows handles; paths go to the system as they are held, in UTF-16.
#include "runtime/FileSystem.h"
#include "runtime/WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <windows.h>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(const TFd& fd)
{
    return reinterpret_cast<HANDLE>(fd.Get());
}

// The errno value callers know for a system error code.
int ErrnoFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    case ERROR_OPERATION_ABORTED: return EINTR;
    default: return EIO;
    }
}

int LastErrno()
{
    return ErrnoFor(GetLastError());
}

// Holds `handle` in `fd`; the system's error as an errno when there is none.
int Hold(HANDLE handle, TFd& fd)
{
    const int err = handle == INVALID_HANDLE_VALUE ? LastErrno() : 0;
    fd.Reset(reinterpret_cast<TFd::TNative>(handle));
    return err;
}

// One name for every path to a file, to name its lock by: the folder as the system
// resolves it (drive letters, links and short names), and the file's name in capitals,
// as the file system does not tell names apart by case.
int LockName(const std::filesystem::path& path, std::wstring& name)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return ENOENT;  // no path at all
    TFd folder;
    if (const int err = Hold(CreateFileW(absolute.parent_path().c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                             folder))
        return err;
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(Native(folder), full.data(), DWORD(full.size()), FILE_NAME_NORMALIZED);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFinalPathNameByHandleW(Native(folder), full.data(), DWORD(full.size()), FILE_NAME_NORMALIZED);
    }
    // A file system that cannot tell (some network shares): the path as given.
    full = n == 0 || n >= full.size() ? absolute.parent_path().native() : full.substr(0, n);
    full += L'\\';
    full += absolute.filename().native();
    CharUpperBuffW(full.data(), DWORD(full.size()));
    // Object names are short and take no backslash: a hash stands for the path.
    std::uint64_t hash = 14695981039346656037u;
    for (const wchar_t c : full)
        hash = (hash ^ std::uint16_t(c)) * 1099511628211u;
    name = L"Local\\vorn-file-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(hash >> shift) & 15];
    return 0;
}

} // namespace

int OpenRegular(const std::filesystem::path& path, TFd& fd)
{
    // Sharing everything, deleting too, so that a replacement is never refused for it;
    // backup semantics, so that a folder opens and is told as one.
    if (const int err = Hold(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                             fd))
        return err;
    BY_HANDLE_FILE_INFORMATION info {};
    int err = 0;
    if (GetFileType(Native(fd)) != FILE_TYPE_DISK)
        err = EINVAL;
    else if (!GetFileInformationByHandle(Native(fd), &info))
        err = LastErrno();
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        err = EISDIR;
    if (err)
        fd.Reset();
    return err;
}

int ReadSome(const TFd& fd, char* buffer, std::size_t size, std::size_t& got)
{
    DWORD n = 0;
    if (!ReadFile(Native(fd), buffer, DWORD(std::min<std::size_t>(size, 1u << 30)), &n, nullptr))
        return LastErrno();
    got = n;
    return 0;
}

int WriteAll(const TFd& fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD n = 0;
        if (!WriteFile(Native(fd), bytes.data(), DWORD(std::min<std::size_t>(bytes.size(), 1u << 30)), &n, nullptr))
            return LastErrno();
        bytes.remove_prefix(n);
    }
    return 0;
}

TFileLock::~TFileLock()
{
    if (held_ >= 0) {
        ReleaseMutex(reinterpret_cast<HANDLE>(held_));
        CloseHandle(reinterpret_cast<HANDLE>(held_));
    }
}

// Every update holds the mutex for one read, change and replace only, with no wait of
// its own inside, and the system lets it go when a program dies (abandoned, it is
// taken all the same).
int TFileLock::Open(const std::filesystem::path& path, bool, TFd& fd)
{
    std::wstring name;
    if (const int err = LockName(path, name))
        return err;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex)
        return LastErrno();
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const int err = LastErrno();
        CloseHandle(mutex);
        return err;
    }
    held_ = reinterpret_cast<std::intptr_t>(mutex);
    return OpenRegular(path, fd);
}

int CreateReplacement(const std::filesystem::path& target, const std::filesystem::path& temporary, TFd& fd)
{
    DWORD kept = 0;
    WIN32_FILE_ATTRIBUTE_DATA old {};
    if (GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &old)) {
        if (old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return EISDIR;
        if (old.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
            return EINVAL;
        if (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            return EACCES;
        kept = old.dwFileAttributes &
               (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return LastErrno();
    }
    return Hold(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            kept ? kept : FILE_ATTRIBUTE_NORMAL, nullptr),
                fd);
}

int SyncAndClose(TFd& fd)
{
    if (!FlushFileBuffers(Native(fd)))
        return LastErrno();
    return CloseHandle(reinterpret_cast<HANDLE>(fd.Release())) ? 0 : LastErrno();
}

int Rename(const std::filesystem::path& from, const std::filesystem::path& to, bool replace)
{
    // Written through: the rename is on the disk when the call returns, folder and all.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(from.c_str(), to.c_str(), flags) ? 0 : LastErrno();
}

int SyncFolder(const std::filesystem::path&)
{
    return 0;
}

void RemoveFile(const std::filesystem::path& path)
{
    DeleteFileW(path.c_str());
}

std::uint64_t ProcessId()
{
    return GetCurrentProcessId();
}

std::string ErrorText(int err)
{
    char buffer[256];
    if (strerror_s(buffer, sizeof buffer, err) != 0)
        return "Unknown error " + std::to_string(err);
    return buffer;
}
