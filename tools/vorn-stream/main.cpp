// vorn-stream: writes the exact bytes an upload would send, so a user can look at
// them before a long upload and compare two builds of a program.
#include "Arguments.h"
#include "StreamOutput.h"

#include "app/Console.h"
#include "app/UploadStream.h"
#include "runtime/Exception.h"
#include "runtime/TextLookup.h"

#include <iostream>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

int Run(const StreamArguments& args)
{
    try {
        StreamOutput out(args.output);
        ForEachStreamByte(args.hexFile, args.names, [&out](std::uint8_t byte) { out.Put(byte); });
        out.Commit();
        return 0;
    } catch (const EInOutError& e) {
        std::cerr << "vorn-stream: " << e.Message() << '\n';
    } catch (const OutputError& e) {
        std::cerr << "vorn-stream: " << e.what() << '\n';
    }
    return ExitFailure;
}

} // namespace

int main(int argc, char** argv)
{
    TUtf8Console console;
    StreamArguments args;
    try {
        args = ParseArguments(Utf8Arguments(argc, argv));
    } catch (const UsageError& e) {
        std::cerr << "vorn-stream: " << e.what() << "\nTry 'vorn-stream --help'.\n";
        return ExitUsage;
    }
    if (args.help || args.version) {
        std::cout << (args.help ? UsageText() : "vorn-stream " VORN_VERSION "\n");
        return 0;
    }
    InitTextLookup();
    return Run(args);
}
