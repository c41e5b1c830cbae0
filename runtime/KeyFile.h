// The text form of a registry key: one file holding named values, as a person can
// read and edit them:
//
//     REGEDIT4
//
//     "Port"="COM1"
//     "CustomBaudRate"=dword:00007a12
//
// Value names compare without regard to case; "@" names the unnamed value. In
// quoted text \\ and \" stand for themselves and \n, \r for line breaks. Lines
// starting with ';' or '#', blank lines, the header and one "[key name]" line are
// kept as they are; values of other data forms (hex:..., hex(N):..., with '\'
// continuation lines) are kept but cannot be read as text or integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TKeyDataType : std::uint8_t { String, Integer, Other };

struct TKeyValue {
    std::string name;
    TKeyDataType type = TKeyDataType::Other;
    std::string text;          // String
    std::int32_t number = 0;   // Integer
};

// Why a text is no key file: the line (from 1) and an English reason.
struct TKeyFileError {
    int line = 0;
    const char* reason = "";
};

// One line of the file (several for continued data) with its line end as the file
// has it, and the value it holds, if any.
struct TKeyFileEntry {
    std::string raw;
    std::optional<TKeyValue> value;
};

class TKeyFile {
public:
    // Reads `text`; on failure the result is empty and `error` says where and why.
    static std::optional<TKeyFile> Parse(std::string_view text, TKeyFileError& error);

    const TKeyValue* Find(std::string_view name) const;
    // Replaces the value of that name in its place, keeping the line's end, or appends
    // it with the line end of the file's first line.
    void Set(const TKeyValue& value);
    // The file's text; untouched lines come back byte for byte, line ends included.
    std::string Text() const;

private:
    std::vector<TKeyFileEntry> entries_;
};
