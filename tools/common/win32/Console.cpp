#include "tools/common/Console.h"

#include "runtime/win32/WinFiles.h"

#include <io.h>
#include <windows.h>

// CommandLineToArgvW splits as the C runtime split `argv`; should they ever
// disagree, `argv` as it is beats arguments out of place.
std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        LocalFree(wide);
        return {argv, argv + argc};
    }
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(Utf8Text(wide[i]));
    LocalFree(wide);
    return args;
}

// Not _isatty, which takes NUL and every other character device for one.
bool IsTerminal(std::FILE* stream)
{
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

// The code page belongs to the console window, which outlives the program.
TUtf8Console::TUtf8Console() : previousCodePage_(GetConsoleOutputCP())
{
    if (previousCodePage_ != 0)
        SetConsoleOutputCP(CP_UTF8);
}

TUtf8Console::~TUtf8Console()
{
    if (previousCodePage_ != 0)
        SetConsoleOutputCP(previousCodePage_);
}
