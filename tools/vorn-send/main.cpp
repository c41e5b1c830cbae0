// vorn-send: the transmitter's upload without a window.
#include "ConsoleView.h"
#include "PlatformUsage.h"

#include "app/Console.h"
#include "app/TransmitterPort.h"
#include "app/Upload.h"
#include "app/UploadStream.h"
#include "runtime/Exception.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "runtime/Utf8Path.h"
#include "serial/CPort.h"
#include "serial/PortList.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string UsageText()
{
    return std::string("usage: vorn-send [--port NAME] HEXFILE [NAME1 ... NAME8]\n"
                       "       vorn-send --list | --help | --version\n"
                       "\n"
                       "Uploads the program words of HEXFILE and up to eight program names (UTF-8,\n"
                       "at most 16 characters each; missing names are empty) to the unit, exactly as\n"
                       "the transmitter window does: 600 bit/s, 8 data bits, no parity, one stop bit.\n"
                       "\n") +
           PortOptionsUsage +
           "  --help       this text\n"
           "  --version    the program's version\n"
           "\n" +
           StopUsage +
           "\n"
           "Exit status: 0 when every byte was sent, 1 on a failure, 2 for wrong arguments,\n"
           "128 + the signal's number when a signal stopped the upload.\n";
}

struct Arguments {
    std::string port = "COM1";
    std::string path;
    TBankNames names;
};

int Usage(const char* problem)
{
    std::fprintf(stderr, "vorn-send: %s\n\n%s", problem, UsageText().c_str());
    return 2;
}

int ListPorts()
{
    const auto ports = ListSerialPorts();
    for (const TSerialPortInfo& port : ports)
        std::puts(DescribeSerialPort(port).c_str());
    if (ports.empty())
        std::fputs("vorn-send: no serial ports found\n", stderr);
    return 0;
}

// Returns -1 when the arguments are good, else the exit status.
int Parse(const std::vector<std::string>& argv, Arguments& args)
{
    std::vector<std::string> positional;
    const std::size_t argc = argv.size();
    for (std::size_t i = 1; i < argc; ++i) {
        const std::string& arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("vorn-send " VORN_VERSION);
            return 0;
        }
        if (arg == "--list")
            return ListPorts();
        if (arg == "--port") {
            if (++i == argc)
                return Usage("--port needs a name");
            args.port = argv[i];
        } else if (arg.size() > 1 && arg[0] == '-' && positional.empty()) {
            return Usage(("unknown option " + arg).c_str());
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty())
        return Usage("no HEX file given");
    if (positional.size() > 9)
        return Usage("at most eight names");
    args.path = positional[0];
    for (size_t i = 1; i < positional.size(); ++i)
        args.names[i - 1] = positional[i];
    return -1;
}

// The stream's length for the percentage, when it can be had without taking the
// input from the upload: a regular file is read ahead, a pipe or FIFO is not (the
// upload reads it, once). Nothing when unknown; a file that cannot be read is
// reported by the upload itself.
std::optional<std::uint64_t> CountStreamBytes(const Arguments& args)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(PathFromUtf8(args.path), error))
        return std::nullopt;
    std::uint64_t count = 0;
    try {
        ForEachStreamByte(args.path, args.names, [&count](std::uint8_t) {
            if (TStopSignals::Received() != 0)
                throw EUploadStopped(TStopSignals::Received(), 0);
            ++count;
        });
    } catch (const Exception&) {
        return std::nullopt;
    }
    return count;
}

int ReportStop(TComPort& port, TConsoleView& view, const EUploadStopped& stop)
{
    view.EndLine();
    try {
        port.Close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vorn-send: %s\n", error.what());
    }
    std::fprintf(stderr, "vorn-send: %s\n", stop.what());
    return ExitStatusFor(stop.Signal());
}

int Send(const Arguments& args)
{
    TComPort port;
    port.BeginLoading();
    LoadTransmitterPortSettings(port);
    port.SetPort(args.port);
    port.FinishLoading();
    TConsoleView view(CountStreamBytes(args), stderr);
    try {
        RunUpload(port, args.path, args.names, view);
    } catch (const EUploadStopped& stop) {
        return ReportStop(port, view, stop);
    } catch (const std::exception&) {
        view.EndLine();
        throw;
    }
    return view.Failed() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    TUtf8Console console;
    Arguments args;
    if (int status = Parse(Utf8Arguments(argc, argv), args); status >= 0)
        return status;
    InitTextLookup();
    InitComErrorMessages();
    TStopSignals stopSignals;
    try {
        return Send(args);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vorn-send: %s\n", error.what());
        return 1;
    }
}
