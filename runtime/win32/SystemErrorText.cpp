#include "runtime/SystemErrorText.h"

#include "runtime/win32/WinFiles.h"

#include <windows.h>

std::string SystemErrorText(int code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        DWORD(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text, length);
    LocalFree(text);
    // The system ends its texts with a full stop and a line end; ours go on after them.
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.' || wide.back() == L' '))
        wide.pop_back();
    return Utf8Text(wide);
}
