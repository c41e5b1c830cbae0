// Program entry of the transmitter window on Windows.
#include "app/win32/MessageBoxes.h"
#include "app/win32/ProgramOutput.h"
#include "app/win32/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/Format.h"
#include "runtime/MainThread.h"
#include "runtime/TextLookup.h"
#include "runtime/win32/WinFiles.h"
#include "serial/CPort.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

std::string UsageText()
{
    return CurrentDomainText("usage: vorn-transmitter [--port NAME]\n"
                             "       vorn-transmitter --help | --version\n"
                             "\n"
                             "The transmitter's window: pick a HEX file, type the names of eight programs\n"
                             "and send them to the unit at 600 bit/s.\n"
                             "\n"
                             "  --port NAME  the port, COMn (default COM1)\n"
                             "  --help       this text\n"
                             "  --version    the program's version\n");
}

int Usage(const std::string& problem)
{
    WriteProgramText(TOutput::Error, "vorn-transmitter: " + problem + "\n\n" + UsageText());
    return 2;
}

std::vector<std::string> Arguments()
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide != nullptr && i < count; ++i)
        args.push_back(Utf8Text(wide[i]));
    LocalFree(wide);
    return args;
}

// The window's options; -1 to go on, else the exit status.
int ReadArguments(std::string& port)
{
    const std::vector<std::string> args = Arguments();
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            WriteProgramText(TOutput::Standard, arg == "--version" ? "vorn-transmitter " VORN_VERSION "\n" : UsageText());
            return 0;
        }
        if (arg != "--port")
            return Usage(FormatTemplate(CurrentDomainText("unknown argument %s"), {arg}));
        if (++i == args.size())
            return Usage(FormatTemplate(CurrentDomainText("option %s needs a value"), {std::string("--port")}));
        port = args[i];
    }
    return -1;
}

int RunMessageLoop(TForm1& form)
{
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0)
        form.Dispatch(message);
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

int RunWindow(const std::string& port, HWND& shown)
{
    TForm1 form(port);
    shown = form.Handle();
    // Work the ports' event threads hand to the main thread runs from the message loop.
    SetMainThreadWakeup([window = form.Handle()] { PostMessageW(window, TForm1::kMainThreadWork, 0, 0); });
    form.Show();
    const int status = RunMessageLoop(form);
    SetMainThreadWakeup(nullptr);
    shown = nullptr;
    return status;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    InitTextLookup();
    InitComErrorMessages();
    std::string port = "COM1";
    if (const int status = ReadArguments(port); status >= 0)
        return status;

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    SetMainThread();
    HWND window = nullptr;
    SetApplicationExceptionHandler([&window](const std::exception& error) {
        ShowTopLevelErrorBox(window, error.what());
    });
    int status = 1;
    try {
        status = RunWindow(port, window);
    } catch (...) {
        HandleCurrentException();
    }
    SetApplicationExceptionHandler(nullptr);
    return status;
}
