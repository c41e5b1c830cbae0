// Program entry of the transmitter window.
#include "app/MessageBoxes.h"
#include "app/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/Format.h"
#include "runtime/MainThread.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "serial/CPort.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::string UsageText()
{
    return CurrentDomainText("usage: vorn-transmitter [--port NAME] [toolkit options such as -platform NAME]\n"
                             "       vorn-transmitter --help | --version\n"
                             "\n"
                             "The transmitter's window: pick a HEX file, type the names of eight programs\n"
                             "and send them to the unit at 600 bit/s.\n"
                             "\n"
                             "  --port NAME  the port: COMn (default COM1; $COMn_DEVICE names its device),\n"
                             "               a device path such as /dev/ttyUSB0, or a name under /dev\n"
                             "  --help       this text\n"
                             "  --version    the program's version\n");
}

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "vorn-transmitter: %s\n\n%s", problem.c_str(), UsageText().c_str());
    return 2;
}

// Takes the window's own options out of argv and leaves the toolkit's; -1 to go on,
// else the exit status. Done before the toolkit starts, so that --help needs no display.
int TakeOwnOptions(int& argc, char** argv, std::string& port)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            std::fputs(arg == "--version" ? "vorn-transmitter " VORN_VERSION "\n" : UsageText().c_str(), stdout);
            return 0;
        }
        if (arg != "--port")
            argv[kept++] = argv[i];
        else if (++i < argc)
            port = argv[i];
        else
            return Usage(FormatTemplate(CurrentDomainText("option %s needs a value"), {std::string("--port")}));
    }
    argc = kept;
    argv[argc] = nullptr;
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    // A standard error whose reader left must not end the program mid-upload.
    IgnoreBrokenPipe();
    InitTextLookup();
    InitComErrorMessages();
    std::string port = "COM1";
    if (const int status = TakeOwnOptions(argc, argv, port); status >= 0)
        return status;
    // Made on the main thread, where the upload runs: a stop signal that another
    // thread takes is passed on to it.
    TStopSignals stopSignals;

    SetMainThread();
    QApplication application(argc, argv);
    if (const QStringList rest = QApplication::arguments(); rest.size() > 1)
        return Usage(FormatTemplate(CurrentDomainText("unknown argument %s"), {rest[1].toStdString()}));
    // Work the ports' event threads hand to the main thread runs from the message loop.
    SetMainThreadWakeup([] {
        QMetaObject::invokeMethod(qApp, [] { ProcessMainThreadWork(); }, Qt::QueuedConnection);
    });
    QApplication::setApplicationName("vorn-transmitter");
    QGuiApplication::setDesktopFileName("vorn-transmitter");
    SetApplicationExceptionHandler([](const std::exception& error) {
        ShowTopLevelErrorBox(QApplication::activeWindow(), error.what());
    });

    int status;
    {
        TForm1 form(nullptr, port);
        form.show();
        status = QApplication::exec();
    }
    SetMainThreadWakeup(nullptr);
    SetApplicationExceptionHandler(nullptr);
    return status;
}
