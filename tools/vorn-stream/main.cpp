// vorn-stream: writes the exact bytes an upload would send, so a user can look at
// them before a long upload and compare two builds of a program.
#include "StreamOutput.h"

#include "tools/common/Console.h"
#include "upload/UploadStream.h"
#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/TextLookup.h"
#include "tools/common/CommandLine.h"
#include "tools/common/ToolMessages.h"

#include <iostream>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr TOptionSpec Options[] = {
    {"-o", "", true},
    {"--help", "-h", false, true},
    {"--version", "", false, true},
};

std::string UsageText()
{
    return CurrentDomainText(
        "Usage: vorn-stream [-o OUT] HEXFILE [NAME1 ... NAME8]\n"
        "\n"
        "Writes the bytes an upload sends to the unit: four bytes from every line of\n"
        "HEXFILE longer than 12 characters (its characters 10 to 17 as hex pairs), then\n"
        "the eight program names, 16 bytes each, in CP1250. Names are UTF-8 text; only\n"
        "their first 16 characters count, shorter ones are padded with spaces, and a\n"
        "missing or empty name gives 16 bytes of 0xFF. HEXFILE '-' is the standard input.\n"
        "vorn-send reads its arguments by the same rule: options before HEXFILE, and\n"
        "every argument after HEXFILE is a name, whatever it looks like.\n"
        "\n"
        "  -o OUT      write to OUT instead of standard output; OUT is replaced only\n"
        "              once the whole stream is made, and never when it is HEXFILE\n"
        "  --          ends the options (for a HEXFILE whose name begins with '-')\n"
        "  -h, --help  show this text\n"
        "  --version   show the program's version\n"
        "\n"
        "Nothing is written when HEXFILE cannot be read. Exit status: 0 done,\n"
        "1 a file could not be read or written, 2 wrong arguments.\n");
}

int Run(const THexSource& source, const TBankNames& names, const std::optional<std::string>& output)
{
    try {
        // The output is looked at first: a wrong -o costs no reading.
        StreamOutput out(output);
        HexFileReader reader(source);
        out.RefuseInput(reader.Identity());
        ForEachStreamByte(reader, names, [&out](std::uint8_t byte) { out.Put(byte); });
        out.Commit();
        return 0;
    } catch (const EInOutError& e) {
        std::cerr << "vorn-stream: " << ErrorAbout(InputName(source), e) << '\n';
    } catch (const OutputError& e) {
        std::cerr << "vorn-stream: " << e.what() << '\n';
    }
    return ExitFailure;
}

TCommandLine ReadArguments(int argc, char** argv)
{
    TCommandLine line = ReadCommandLine(Utf8Arguments(argc, argv), Options, BankCount);
    if (!line.file && !line.Has("--help") && !line.Has("--version"))
        throw EUsage(CurrentDomainText("no HEX file given"));
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    TUtf8Console console;
    InitTextLookup();
    TCommandLine line;
    try {
        line = ReadArguments(argc, argv);
    } catch (const EUsage& e) {
        std::cerr << "vorn-stream: " << e.what() << '\n'
                  << FormatTemplate(CurrentDomainText("Try '%s --help'."), {std::string("vorn-stream")}) << '\n';
        return ExitUsage;
    }
    if (line.Has("--help") || line.Has("--version")) {
        std::cout << (line.Has("--help") ? UsageText() : "vorn-stream " VORN_VERSION "\n");
        return 0;
    }
    TBankNames names;
    std::copy(line.names.begin(), line.names.end(), names.begin());
    return Run(SourceFor(*line.file), names, line.Value("-o"));
}
