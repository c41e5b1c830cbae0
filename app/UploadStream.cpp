#include "UploadStream.h"

#include "runtime/Cp1250.h"

#include <algorithm>

namespace {

constexpr std::uint8_t DigitValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return std::uint8_t(c - '0');
    const unsigned char lower = c | 0x20;
    if (lower >= 'a' && lower <= 'f')
        return std::uint8_t(lower - 'a' + 10);
    return 0;
}

// Offsets (from 0) of the four digit pairs of a program word.
constexpr std::size_t FirstPairOffset = 9;
constexpr std::size_t TakenLineLength = 13;

// Bytes of the UTF-8 character at the front of `text`; a malformed one counts as
// a single byte, as the CP1250 conversion turns it into one '?'.
std::size_t CharacterLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t n = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (n > text.size())
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

// The front of `text` holding at most `count` characters.
std::string_view FirstCharacters(std::string_view text, std::size_t count)
{
    std::size_t bytes = 0;
    for (; count > 0 && bytes < text.size(); --count)
        bytes += CharacterLength(text.substr(bytes));
    return text.substr(0, bytes);
}

} // namespace

std::uint8_t HexPairToByte(std::string_view pair)
{
    const std::uint8_t high = pair.size() > 0 ? DigitValue(pair[0]) : 0;
    const std::uint8_t low = pair.size() > 1 ? DigitValue(pair[1]) : 0;
    return std::uint8_t(high * 16 + low);
}

std::optional<TProgramWord> DecodeHexLine(std::string_view line)
{
    if (line.size() < TakenLineLength)
        return std::nullopt;
    TProgramWord word{};
    for (std::size_t i = 0; i < word.size(); ++i) {
        const std::size_t at = FirstPairOffset + 2 * i;
        word[i] = at < line.size() ? HexPairToByte(line.substr(at, 2)) : 0;
    }
    return word;
}

TBankEntry EncodeBankName(std::string_view utf8Name)
{
    TBankEntry entry;
    if (utf8Name.empty()) {
        entry.fill(0xFF);
        return entry;
    }
    entry.fill(' ');
    const std::string encoded = Utf8ToCp1250(FirstCharacters(utf8Name, BankNameLength));
    for (std::size_t i = 0; i < encoded.size() && i < entry.size(); ++i)
        entry[i] = static_cast<std::uint8_t>(encoded[i]);
    return entry;
}

TNameTable EncodeNameTable(const TBankNames& names)
{
    TNameTable table;
    for (std::size_t bank = 0; bank < BankCount; ++bank) {
        const TBankEntry entry = EncodeBankName(names[bank]);
        std::copy(entry.begin(), entry.end(), table.begin() + bank * BankNameLength);
    }
    return table;
}

void WriteUploadStream(const std::string& path, const TBankNames& names, const TByteSink& sink)
{
    HexFileReader reader(path);
    while (!reader.Eof())
        if (const auto word = DecodeHexLine(reader.ReadLine()))
            for (const std::uint8_t byte : *word)
                sink(byte);
    reader.Close();
    for (const std::uint8_t byte : EncodeNameTable(names))
        sink(byte);
}
