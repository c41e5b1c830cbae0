// The byte stream the unit receives: four bytes from every HEX line longer than
// 12 characters, then a table of eight 16-byte program names.
#pragma once

#include "upload/HexFileReader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t BankCount = 8;
constexpr std::size_t BankNameLength = 16;

using TProgramWord = std::array<std::uint8_t, 4>;
using TBankEntry = std::array<std::uint8_t, BankNameLength>;
constexpr std::size_t NameTableSize = BankCount * BankNameLength;

using TNameTable = std::array<std::uint8_t, NameTableSize>;
// Names as the window's edit boxes hold them: UTF-8 text.
using TBankNames = std::array<std::string, BankCount>;
using TByteSink = std::function<void(std::uint8_t)>;

// Two hex digits, the high one first, of either case. Any other character, and a
// missing one, counts 0; never fails.
std::uint8_t HexPairToByte(std::string_view pair);

// The program word at line positions 10 to 17 (counted from 1), or nothing when
// the line has 12 characters or fewer.
std::optional<TProgramWord> DecodeHexLine(std::string_view line);

// The first 16 characters of a UTF-8 name in CP1250 ('?' for what CP1250 lacks),
// padded with spaces; an empty name gives 16 bytes of 0xFF.
TBankEntry EncodeBankName(std::string_view utf8Name);

// The eight entries of EncodeBankName one after another.
TNameTable EncodeNameTable(const TBankNames& names);

// The stream's rule, which every producer of it follows: the words of the taken lines
// in file order, then the name table. `parts.Word(word)` returns false to end the
// reading; the names then do not follow. The reader is closed before the names.
template <typename Parts>
void ForEachStreamPart(HexFileReader& reader, const TBankNames& names, Parts&& parts)
{
    while (!reader.Eof())
        if (const auto word = DecodeHexLine(reader.ReadLine()); word && !parts.Word(*word))
            return;
    reader.Close();
    parts.Names(EncodeNameTable(names));
}

// The whole stream of an open reader's file and eight names, one byte at a time, in order.
template <typename Sink>
void ForEachStreamByte(HexFileReader& reader, const TBankNames& names, Sink&& sink)
{
    struct TBytes {
        Sink& sink;
        bool Word(const TProgramWord& word)
        {
            for (const std::uint8_t byte : word)
                sink(byte);
            return true;
        }
        void Names(const TNameTable& table)
        {
            for (const std::uint8_t byte : table)
                sink(byte);
        }
    };
    ForEachStreamPart(reader, names, TBytes{sink});
}

template <typename Sink>
void ForEachStreamByte(const THexSource& source, const TBankNames& names, Sink&& sink)
{
    HexFileReader reader(source);
    ForEachStreamByte(reader, names, sink);
}

// The same for a sink chosen at run time.
void WriteUploadStream(const THexSource& source, const TBankNames& names, const TByteSink& sink);

// A whole stream, read before any of it is sent: its two parts.
struct TUploadStream {
    std::vector<TProgramWord> words;
    TNameTable names{};
    std::size_t Size() const { return 4 * words.size() + names.size(); }
};

// Reads the file once, front to back, into the stream of it and eight names. Nothing
// when the stream would be longer than `maxBytes`: the reading stops there.
std::optional<TUploadStream> ReadUploadStream(const THexSource& source, const TBankNames& names,
                                              std::size_t maxBytes);
