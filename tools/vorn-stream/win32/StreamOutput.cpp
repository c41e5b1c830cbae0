#include "../StreamOutput.h"

#include "runtime/win32/WinFiles.h"
#include "runtime/TextLookup.h"

#include <algorithm>
#include <string_view>
#include <windows.h>

namespace {

constexpr DWORD Success = 0;

HANDLE Handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// Success when every byte was written, else the error code of the failure.
DWORD WriteAll(HANDLE out, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        DWORD done = 0;
        if (!WriteFile(out, data, DWORD(std::min<std::size_t>(size, 1 << 30)), &done, nullptr))
            return GetLastError();
        if (done == 0)
            return ERROR_WRITE_FAULT;
        data += done;
        size -= done;
    }
    return Success;
}

// NUL, CON, COM1 and the like (in any folder, as Windows takes them) and named
// pipes: their full names are in the device namespace, \\.\, as a drive's is not.
bool IsDevice(const std::wstring& name)
{
    wchar_t full[MAX_PATH];
    const DWORD n = GetFullPathNameW(name.c_str(), MAX_PATH, full, nullptr);
    const std::wstring_view path(full, n < MAX_PATH ? n : 0);
    return path.starts_with(L"\\\\.\\") && !(path.size() > 5 && path[5] == L':');
}

} // namespace

// A device or a pipe is opened only when the stream is made; opening a pipe now
// would connect to its server. Replacing a folder is refused, as on Linux.
void StreamOutput::ChooseDestination()
{
    std::wstring name;
    try {
        name = WideName(*path_);
    } catch (const EInOutError& error) {
        Fail(error);
    }
    if (IsDevice(name))
        return;
    if (const DWORD attributes = GetFileAttributesW(name.c_str()); attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            Fail(FileError(error));
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        Fail(CurrentDomainText("not a regular file, FIFO or character device"));
    }
    replace_ = true;
}

// Made empty and unique by GetTempFileNameW, then held so that it goes with its
// last handle, a crash included.
void StreamOutput::CreateSpool()
{
    wchar_t dir[MAX_PATH + 1], name[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH)
        FailSpool(FileError(GetLastError()));
    spoolFolder_ = Utf8Text(std::wstring_view(dir, n));
    if (GetTempFileNameW(dir, L"vst", 0, name) == 0)
        FailSpool(FileError(GetLastError()));
    const HANDLE spool = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (spool == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileW(name);
        FailSpool(FileError(error));
    }
    spool_ = reinterpret_cast<std::intptr_t>(spool);
}

void StreamOutput::WriteSpool(const std::uint8_t* data, std::size_t size)
{
    if (const DWORD error = WriteAll(Handle(spool_), data, size))
        FailSpool(FileError(error));
}

// Standard output gets the bytes through its handle, past the C runtime, whose
// text mode would turn every LF into CR LF.
void StreamOutput::CopySpoolOut()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (path_) {
        out = CreateFileW(WideName(*path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE)
            Fail(FileError(GetLastError()));
        if (const DWORD type = GetFileType(out); type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE) {
            CloseHandle(out);
            Fail(CurrentDomainText("not a regular file, FIFO or character device"));
        }
    }
    const auto failSpool = [&] {
        const DWORD spoolError = GetLastError();
        if (path_)
            CloseHandle(out);
        FailSpool(FileError(spoolError));
    };
    if (!SetFilePointerEx(Handle(spool_), LARGE_INTEGER{}, nullptr, FILE_BEGIN))
        failSpool();
    DWORD error = Success;
    std::vector<std::uint8_t> chunk(64 * 1024);
    for (DWORD got = 1; error == Success && got > 0;) {
        if (!ReadFile(Handle(spool_), chunk.data(), DWORD(chunk.size()), &got, nullptr))
            failSpool();
        error = WriteAll(out, chunk.data(), got);
    }
    if (path_ && !CloseHandle(out) && error == Success)
        error = GetLastError();
    if (error != Success)
        Fail(FileError(error));
}

void StreamOutput::CloseSpool() noexcept
{
    if (spool_ != -1)
        CloseHandle(Handle(spool_));
    spool_ = -1;
}
