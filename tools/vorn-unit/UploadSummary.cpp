#include "tools/vorn-unit/UploadSummary.h"

#include "runtime/Cp1250.h"

#include <algorithm>
#include <cstdio>

void UploadTally::Add(std::string_view bytes)
{
    bytes_ += bytes.size();
    if (bytes.size() >= UnitNameTableSize) {
        tail_.assign(bytes.substr(bytes.size() - UnitNameTableSize));
        return;
    }
    tail_.append(bytes);
    if (tail_.size() > UnitNameTableSize)
        tail_.erase(0, tail_.size() - UnitNameTableSize);
}

namespace {

bool IsEmptyEntry(std::string_view entry)
{
    return std::all_of(entry.begin(), entry.end(), [](char c) { return static_cast<unsigned char>(c) == 0xFF; });
}

std::string ControlEscape(unsigned char c)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", c);
    return text;
}

std::string Count(std::uint64_t n, const char* what)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string CountsLine(unsigned number, std::string_view reason, const UploadTally& tally)
{
    std::string line = "upload " + std::to_string(number) + " ended (" + std::string(reason) + "): "
        + Count(tally.Bytes(), "byte") + ", ";
    if (tally.Bytes() < UnitNameTableSize)
        return line + "too few for the name table of 128 bytes\n";
    const std::uint64_t program = tally.Bytes() - UnitNameTableSize;
    line += Count(program / 4, "program word");
    // A count that is no multiple of four means a byte went missing or came extra.
    if (program % 4 != 0)
        line += " and " + Count(program % 4, "stray byte");
    return line + "\n";
}

}  // namespace

std::string DisplayBankName(std::string_view entry)
{
    if (IsEmptyEntry(entry))
        return {};
    const std::size_t last = entry.find_last_not_of(' ');
    entry = last == std::string_view::npos ? std::string_view() : entry.substr(0, last + 1);
    std::string shown;
    for (char c : entry) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7F ? ControlEscape(byte) : Cp1250ToUtf8(std::string_view(&c, 1));
    }
    return shown;
}

std::string FormatUploadSummary(unsigned number, std::string_view reason, const UploadTally& tally,
                                std::string_view savedTo)
{
    std::string text = CountsLine(number, reason, tally);
    if (tally.Bytes() >= UnitNameTableSize) {
        for (std::size_t i = 0; i < UnitNameTableSize / UnitNameSize; ++i) {
            const std::string name = DisplayBankName(std::string_view(tally.Tail()).substr(i * UnitNameSize, UnitNameSize));
            text += "  Prog." + std::to_string(i + 1) + ":" + (name.empty() ? "" : " " + name) + "\n";
        }
    }
    if (!savedTo.empty())
        text += "  saved to " + std::string(savedTo) + "\n";
    return text + "end of upload " + std::to_string(number) + "\n";
}
