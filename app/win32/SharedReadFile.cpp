#include "app/SharedReadFile.h"

#include "app/win32/WinFiles.h"
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

} // namespace

// Sharing read only: a writer that holds the file without sharing read makes this
// a sharing violation, and a writer that comes later gets one. Without backup
// semantics a folder does not open ("access denied", the Linux folder's code).
void TSharedReadFile::Open(const std::string& path)
{
    const HANDLE file = CreateFileW(WideName(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        RaiseLastError();
    const DWORD type = GetFileType(file);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) {
        CloseHandle(file);
        throw EInOutError(5);
    }
    pipe_ = type == FILE_TYPE_PIPE;
    handle_ = reinterpret_cast<std::intptr_t>(file);
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
