#include "Arguments.h"

#include <string_view>

namespace {

void TakePositional(StreamArguments& args, std::size_t& count, const std::string& arg)
{
    if (count == 0)
        args.hexFile = arg;
    else if (count <= BankCount)
        args.names[count - 1] = arg;
    else
        throw UsageError("more than " + std::to_string(BankCount) + " names");
    ++count;
}

} // namespace

StreamArguments ParseArguments(const std::vector<std::string>& argv)
{
    StreamArguments args;
    std::size_t positional = 0;
    bool optionsEnded = false;
    const std::size_t argc = argv.size();
    for (std::size_t i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            TakePositional(args, positional, argv[i]);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            (arg == "--version" ? args.version : args.help) = true;
            return args;
        } else if (arg == "-o") {
            if (i + 1 >= argc)
                throw UsageError("-o needs a file name");
            if (args.output)
                throw UsageError("-o given twice");
            args.output = argv[++i];
        } else {
            throw UsageError("unknown option " + std::string(arg));
        }
    }
    if (positional == 0)
        throw UsageError("no HEX file given");
    return args;
}

std::string UsageText()
{
    return "Usage: vorn-stream HEXFILE [NAME1 ... NAME8] [-o OUT]\n"
           "\n"
           "Writes the bytes an upload sends to the unit: four bytes from every line of\n"
           "HEXFILE longer than 12 characters (its characters 10 to 17 as hex pairs), then\n"
           "the eight program names, 16 bytes each, in CP1250. Names are UTF-8 text; only\n"
           "their first 16 characters count, shorter ones are padded with spaces, and a\n"
           "missing or empty name gives 16 bytes of 0xFF.\n"
           "\n"
           "  -o OUT      write to OUT instead of standard output; OUT is replaced only\n"
           "              once the whole stream is made\n"
           "  --          what follows is no option (for names that begin with '-')\n"
           "  -h, --help  show this text\n"
           "  --version   show the program's version\n"
           "\n"
           "Nothing is written when HEXFILE cannot be read. Exit status: 0 done,\n"
           "1 a file could not be read or written, 2 wrong arguments.\n";
}
