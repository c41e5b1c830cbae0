#include "runtime/win32/WinFiles.h"

#include "runtime/SystemErrorText.h"

#include <cerrno>
#include <windows.h>

namespace {

// The errno value whose message Linux shows for the same failure, or 0.
int ErrnoFor(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_NO_UNICODE_TRANSLATION: return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EWOULDBLOCK;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_OPERATION_ABORTED: return EINTR;
    default: return 0;
    }
}

} // namespace

std::wstring WideName(std::string_view name)
{
    if (name.empty())
        return {};
    const int size = int(name.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
    if (length == 0)
        throw FileError(GetLastError());
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(), length);
    return wide;
}

std::wstring WideText(std::string_view text)
{
    const int size = int(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8Text(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = int(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

EInOutError FileError(unsigned long code)
{
    const int err = ErrnoFor(code);
    EInOutError error = err != 0 ? EInOutError::FromErrno(err) : EInOutError(int(code));
    error.SetExplanation(SystemErrorText(int(code)));
    return error;
}
