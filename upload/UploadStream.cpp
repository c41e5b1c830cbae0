#include "upload/UploadStream.h"

#include "runtime/Cp1250.h"

#include <algorithm>
#include <cstring>

namespace {

// Hex digit values of either case; every other byte counts 0.
constexpr std::array<std::uint8_t, 256> DigitValues = [] {
    std::array<std::uint8_t, 256> values{};
    for (int i = 0; i < 10; ++i)
        values['0' + i] = std::uint8_t(i);
    for (int i = 0; i < 6; ++i)
        values['A' + i] = values['a' + i] = std::uint8_t(10 + i);
    return values;
}();

unsigned PairValue(const char* pair)
{
    return DigitValues[static_cast<unsigned char>(pair[0])] * 16u + DigitValues[static_cast<unsigned char>(pair[1])];
}

// Offset (from 0) of the word's first digit, and the shortest line that is taken.
constexpr std::size_t FirstDigitOffset = 9;
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
    const char digits[2] = {pair.size() > 0 ? pair[0] : '\0', pair.size() > 1 ? pair[1] : '\0'};
    return std::uint8_t(PairValue(digits));
}

std::optional<TProgramWord> DecodeHexLine(std::string_view line)
{
    if (line.size() < TakenLineLength)
        return std::nullopt;
    // Positions past the line's end read as NUL, which counts 0.
    char padded[8] = {};
    const char* digits = line.data() + FirstDigitOffset;
    if (line.size() < FirstDigitOffset + sizeof padded)
        digits = static_cast<const char*>(std::memcpy(padded, digits, line.size() - FirstDigitOffset));
    return TProgramWord{std::uint8_t(PairValue(digits)), std::uint8_t(PairValue(digits + 2)),
                        std::uint8_t(PairValue(digits + 4)), std::uint8_t(PairValue(digits + 6))};
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

void WriteUploadStream(const THexSource& source, const TBankNames& names, const TByteSink& sink)
{
    ForEachStreamByte(source, names, sink);
}

std::optional<TUploadStream> ReadUploadStream(const THexSource& source, const TBankNames& names,
                                              std::size_t maxBytes)
{
    if (maxBytes < NameTableSize)
        return std::nullopt;
    // A word past the limit ends the reading: what is never sent need not be read.
    struct TParts {
        TUploadStream stream;
        std::size_t maxWords;
        bool complete = false;
        bool Word(const TProgramWord& word)
        {
            if (stream.words.size() == maxWords)
                return false;
            stream.words.push_back(word);
            return true;
        }
        void Names(const TNameTable& table)
        {
            stream.names = table;
            complete = true;
        }
    } parts{{}, (maxBytes - NameTableSize) / 4};
    HexFileReader reader(source);
    ForEachStreamPart(reader, names, parts);
    if (!parts.complete)
        return std::nullopt;
    return std::move(parts.stream);
}
