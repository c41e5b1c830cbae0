// The text forms of the flags, line controls and characters that are saved.
#include "serial/ComValueForms.h"
#include "serial/TextTable.h"

#include <array>
#include <charconv>

namespace {

constexpr std::array<const char*, 3> kDTR = {"Disable", "Enable", "Handshake"};
constexpr std::array<const char*, 4> kRTS = {"Disable", "Enable", "Handshake", "Toggle"};

} // namespace

std::string BoolText(bool value) { return value ? "Yes" : "No"; }
bool ParseBool(const std::string& text) { return UpperCase(text) == "YES"; }

std::string DTRText(TDTRFlowControl value) { return kDTR.at(value); }
TDTRFlowControl ParseDTR(const std::string& text) { return ParseText(kDTR, text, dtrDisable); }

std::string RTSText(TRTSFlowControl value) { return kRTS.at(value); }
TRTSFlowControl ParseRTS(const std::string& text) { return ParseText(kRTS, text, rtsDisable); }

std::string CharText(std::uint8_t value)
{
    if (value >= 33 && value <= 127)
        return std::string(1, static_cast<char>(value));
    std::string text = std::to_string(value);
    return text.insert(0, 1, '#');
}

std::uint8_t ParseChar(const std::string& text)
{
    if (text.empty())
        return 0;
    if (text.size() < 2 || text[0] != '#')
        return static_cast<std::uint8_t>(text[0]);
    const char* first = text.data() + 1;
    const char* last = text.data() + text.size();
    // from_chars takes no '+'; a signed number may carry one.
    if (*first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    std::int32_t number = 0;
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec != std::errc() || end != last)
        return 0;
    return static_cast<std::uint8_t>(number & 0xFF);
}
