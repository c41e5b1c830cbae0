#include "tools/common/Console.h"

#include <unistd.h>

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

bool IsTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) == 1;
}

// A terminal shows what the locale says; names and messages are UTF-8 as they are.
TUtf8Console::TUtf8Console() = default;
TUtf8Console::~TUtf8Console() = default;
