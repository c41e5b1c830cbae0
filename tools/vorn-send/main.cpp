// vorn-send: the transmitter's upload without a window.
#include "ConsoleView.h"
#include "PlatformUsage.h"

#include "tools/common/Console.h"
#include "upload/TransmitterPort.h"
#include "upload/Upload.h"
#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/StopSignals.h"
#include "runtime/SystemErrorText.h"
#include "runtime/TextLookup.h"
#include "serial/CPort.h"
#include "serial/PortList.h"
#include "tools/common/CommandLine.h"
#include "tools/common/ToolMessages.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr TOptionSpec Options[] = {
    {"--port", "", true},
    {"--list", ""},
    {"--help", "-h", false, true},
    {"--version", "", false, true},
};

std::string UsageText()
{
    return CurrentDomainText("usage: vorn-send [--port NAME] HEXFILE [NAME1 ... NAME8]\n"
                             "       vorn-send --list | --help | --version\n"
                             "\n"
                             "Uploads the program words of HEXFILE and up to eight program names (UTF-8,\n"
                             "at most 16 characters each; missing names are empty) to the unit, exactly as\n"
                             "the transmitter window does: 600 bit/s, 8 data bits, no parity, one stop bit.\n"
                             "HEXFILE '-' is the standard input. Options come before HEXFILE; every\n"
                             "argument after it is a name, whatever it looks like.\n"
                             "\n") +
           CurrentDomainText(PortOptionsUsage) +
           CurrentDomainText("  --help       this text\n"
                             "  --version    the program's version\n"
                             "\n") +
           CurrentDomainText(StopUsage) +
           CurrentDomainText("\n"
                             "Exit status: 0 when every byte was sent, 1 on a failure, 2 for wrong arguments,\n"
                             "128 + the signal's number when a signal stopped the upload.\n");
}

void Report(const std::string& message)
{
    std::fprintf(stderr, "vorn-send: %s\n", message.c_str());
}

int Usage(const std::string& problem)
{
    Report(problem);
    std::fprintf(stderr, "\n%s", UsageText().c_str());
    return ExitUsage;
}

int ListPorts()
{
    const auto ports = ListSerialPorts();
    for (const TSerialPortInfo& port : ports)
        std::puts(DescribeSerialPort(port).c_str());
    if (ports.empty())
        Report(CurrentDomainText("no serial ports found"));
    return 0;
}

struct TSendArguments {
    std::string port = "COM1";
    THexSource source{""};
    TBankNames names;
};

// After bytes went out the user must know that the unit holds part of a program. When
// the device went away, the count is all that can be known: an upper bound.
std::string WithBytesSent(const std::string& message, const TConsoleView& view, bool deviceWentAway)
{
    if (view.Sent() == 0)
        return message;
    const char* const text = deviceWentAway ? N_("%s, after at most %d of %d bytes were sent: the device went away, "
                                                 "and the last of them may not have reached the line")
                                            : N_("%s, after %d of %d bytes were sent");
    return FormatTemplate(CurrentDomainText(text), {message, std::int64_t(view.Sent()), std::int64_t(view.Total())});
}

// The port's error after the port's name, with the system's word for its code.
std::string PortError(const TComPort& port, const EComPort& error)
{
    const std::string explanation = error.WinCode() >= 0 ? SystemErrorText(error.WinCode()) : "";
    return ErrorAbout(PortLabel(port.Port()), error.Message(), explanation);
}

int ReportStop(TComPort& port, TConsoleView& view, const EUploadStopped& stop)
{
    view.EndLine();
    try {
        port.Close();
    } catch (const EComPort& error) {
        Report(PortError(port, error));
    }
    Report(stop.Message());
    return ExitStatusFor(stop.Signal());
}

// The error leaves the upload where it failed; the port is closed as the port goes.
int ReportFailure(TConsoleView& view, const std::string& message)
{
    view.EndLine();
    Report(message);
    return ExitFailure;
}

int Send(const TSendArguments& args)
{
    TComPort port;
    port.BeginLoading();
    LoadTransmitterPortSettings(port);
    port.SetPort(args.port);
    port.FinishLoading();
    TConsoleView view(stderr, InputName(args.source));
    try {
        RunUpload(port, args.source, args.names, view);
    } catch (const EUploadStopped& stop) {
        return ReportStop(port, view, stop);
    } catch (const EComPort& error) {
        return ReportFailure(view, WithBytesSent(PortError(port, error), view, DeviceWentAway(error.WinCode())));
    } catch (const EInOutError& error) {
        return ReportFailure(view, ErrorAbout(InputName(args.source), error));
    } catch (const EUploadTooLong& error) {
        return ReportFailure(view, ErrorAbout(InputName(args.source), error.Message()));
    }
    return view.Failed() ? ExitFailure : 0;
}

// -1 to go on with the upload, else the exit status.
int Act(const TCommandLine& line, TSendArguments& args)
{
    if (line.Has("--help")) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (line.Has("--version")) {
        std::puts("vorn-send " VORN_VERSION);
        return 0;
    }
    if (line.Has("--list"))
        return line.file ? Usage(CurrentDomainText("--list takes no HEX file")) : ListPorts();
    if (!line.file)
        return Usage(CurrentDomainText("no HEX file given"));
    args.port = line.Value("--port").value_or(args.port);
    args.source = SourceFor(*line.file);
    std::copy(line.names.begin(), line.names.end(), args.names.begin());
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    // Progress on a closed pipe must not end an upload half way.
    IgnoreBrokenPipe();
    TUtf8Console console;
    InitTextLookup();
    InitComErrorMessages();
    TSendArguments args;
    try {
        if (const int status = Act(ReadCommandLine(Utf8Arguments(argc, argv), Options, BankCount), args); status >= 0)
            return status;
    } catch (const EUsage& error) {
        return Usage(error.Message());
    }
    TStopSignals stopSignals;
    try {
        return Send(args);
    } catch (const std::exception& error) {
        Report(error.what());
        return ExitFailure;
    }
}
