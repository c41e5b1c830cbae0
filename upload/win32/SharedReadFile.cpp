#include "upload/SharedReadFile.h"

#include "runtime/win32/WinFiles.h"
#include "runtime/StopSignals.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace {

HANDLE Handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

[[noreturn]] void RaiseLastError()
{
    throw FileError(GetLastError());
}

TFileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info)
{
    return {info.dwVolumeSerialNumber, std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

} // namespace

// Opened for no access at all, which neither a reader nor a writer of it can refuse.
std::optional<TFileIdentity> IdentityOf(const std::string& path)
{
    std::wstring name;
    try {
        name = WideName(path);
    } catch (const EInOutError&) {
        return std::nullopt;
    }
    const HANDLE file = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return known ? std::optional(IdentityFrom(info)) : std::nullopt;
}

// Sharing read only: a writer that holds the file without sharing read makes this
// a sharing violation, and a writer that comes later gets one. Without backup
// semantics a folder does not open ("access denied", the Linux folder's code).
void TSharedReadFile::Open(const std::string& path)
{
    const HANDLE file = CreateFileW(WideName(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        RaiseLastError();
    Adopt(reinterpret_cast<std::intptr_t>(file), true);
}

// A copy, so that closing the reader leaves the program's standard input alone.
void TSharedReadFile::OpenStandardInput()
{
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_INPUT_HANDLE), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        RaiseLastError();
    Adopt(reinterpret_cast<std::intptr_t>(copy), false);
}

void TSharedReadFile::Adopt(std::intptr_t handle, bool)
{
    const DWORD type = GetFileType(Handle(handle));
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) {
        CloseHandle(Handle(handle));
        throw EInOutError::Explained(5, NotAFileText());
    }
    pipe_ = type == FILE_TYPE_PIPE;
    handle_ = handle;
}

std::optional<TFileIdentity> TSharedReadFile::Identity() const
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle_ == -1 || !GetFileInformationByHandle(Handle(handle_), &info))
        return std::nullopt;
    return IdentityFrom(info);
}

// A pipe's read blocks until its writer writes or goes. A stop request cancels the
// read in progress; one that came before the read began is seen here first.
std::size_t TSharedReadFile::Read(char* buffer, std::size_t size)
{
    const DWORD wanted = DWORD(std::min<std::size_t>(size, 1 << 30));
    for (;;) {
        if (pipe_ && TStopSignals::Received() != 0)
            throw EInOutError::FromErrno(EINTR);
        DWORD got = 0;
        if (ReadFile(Handle(handle_), buffer, wanted, &got, nullptr))
            return got;
        switch (const DWORD error = GetLastError()) {
        case ERROR_BROKEN_PIPE:  // the writer is gone: the end
        case ERROR_HANDLE_EOF: return 0;
        case ERROR_MORE_DATA: return got;  // a longer message: the rest comes next
        case ERROR_OPERATION_ABORTED:
            if (TStopSignals::Received() != 0)
                throw EInOutError::FromErrno(EINTR);
            break;  // cancelled by someone else: read on
        default: throw FileError(error);
        }
    }
}

void TSharedReadFile::Close()
{
    if (handle_ == -1)
        return;
    const HANDLE file = Handle(handle_);
    handle_ = -1;
    if (!CloseHandle(file))
        RaiseLastError();
}
