#include "app/win32/ProgramOutput.h"

#include "runtime/win32/WinFiles.h"

#include <windows.h>

namespace {

bool WriteTo(HANDLE handle, const std::string& text)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = WideText(text);
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    }
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
}

bool WriteToParentConsole(const std::string& text)
{
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return false;
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 0, nullptr);
    const bool written = WriteTo(console, text);
    if (console != INVALID_HANDLE_VALUE)
        CloseHandle(console);
    FreeConsole();
    return written;
}

} // namespace

void WriteProgramText(TOutput output, const std::string& text)
{
    const DWORD which = output == TOutput::Standard ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    if (WriteTo(GetStdHandle(which), text) || WriteToParentConsole(text))
        return;
    const UINT icon = output == TOutput::Standard ? MB_ICONINFORMATION : MB_ICONSTOP;
    MessageBoxW(nullptr, WideText(text).c_str(), L"vorn-transmitter", MB_OK | icon);
}
