// What a command-line tool needs of its command line and console, the same on
// every platform.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The command line as UTF-8 text. Windows hands `argv` over in its ANSI code page,
// which has no room for most program names' letters; its wide command line is taken.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// True when `stream` is a terminal or a console window.
bool IsTerminal(std::FILE* stream);

// While an object lives, UTF-8 text written to a console window shows as meant.
class TUtf8Console {
public:
    TUtf8Console();
    ~TUtf8Console();
    TUtf8Console(const TUtf8Console&) = delete;
    TUtf8Console& operator=(const TUtf8Console&) = delete;

private:
    unsigned previousCodePage_ = 0;  // Windows' console output code page, to restore
};
