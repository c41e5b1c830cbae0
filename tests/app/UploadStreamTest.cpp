// The upload stream: which lines of a HEX file give which program words, the name
// table, and the reader's line rules underneath.
#include "app/UploadStream.h"

#include "runtime/Exception.h"
#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

std::string StreamOf(const std::filesystem::path& hex, const TBankNames& names = {})
{
    std::string bytes;
    WriteUploadStream(hex, names, [&bytes](std::uint8_t b) { bytes += char(b); });
    return bytes;
}

std::string Word(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return {char(a), char(b), char(c), char(d)};
}

// Every line, asking the at-end test twice each time: asking must not move the reader.
Lines ReadLines(const std::filesystem::path& path, std::size_t bufferSize)
{
    HexFileReader reader(path, bufferSize);
    Lines lines;
    while (!reader.Eof() && !reader.Eof())
        lines.emplace_back(reader.ReadLine());
    return lines;
}

bool CanLock(const std::filesystem::path& path, int how)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool locked = flock(fd, how | LOCK_NB) == 0;
    close(fd);
    return locked;
}

} // namespace

TEST(UploadStream, LinesLongerThanTwelveCharactersGiveTheirCharactersTenToSeventeen)
{
    const std::pair<std::string, std::string> lines[] = {
        {"123456789ABC", ""},                       // 12 characters: not taken
        {":0100000012AB", Word(0x12, 0xAB, 0, 0)},  // 13: taken, positions past the end count 0
        {":0100000012AB3", Word(0x12, 0xAB, 0x30, 0)},
        {":00000001FF", ""},
        {":020000040800F2", Word(0x08, 0x00, 0xF2, 0)},
        {":10010000214601360121470136007EFE09D2190140", Word(0x21, 0x46, 0x01, 0x36)},
        {"  :10010000214601360121470136007EFE09D2190140", Word(0x00, 0x21, 0x46, 0x01)},  // blanks shift it
        {":0400000089ABCDEF", Word(0x89, 0xAB, 0xCD, 0xEF)}, {":04000000dEaDbEeF", Word(0xDE, 0xAD, 0xBE, 0xEF)},
        // Any other character counts 0: the digits' neighbours, letters past F, high bytes, NUL.
        {"         G77g/:@`", Word(0x07, 0x70, 0, 0)},
        {std::string(9, '\0') + "\xC1\xE6" + std::string(1, '\0') + "5\x01" "2\t4", Word(0, 0x05, 0x02, 0x04)},
        {":04000000DEADBEEF" + std::string(1000, 'Z'), Word(0xDE, 0xAD, 0xBE, 0xEF)},
    };
    std::string text, words;
    for (const auto& [line, word] : lines) {
        text += line + "\n";
        words += word;
    }
    TempDir dir;
    const std::string names(128, '\xFF');
    EXPECT_EQ(StreamOf(dir.Write("lf.hex", text)), words + names);
    // Line ends, and what follows a Ctrl-Z, change nothing.
    for (const char* end : {"\r\n", "\r"}) {
        std::string other;
        for (const auto& line : lines)
            other += line.first + end;
        EXPECT_EQ(StreamOf(dir.Write("p.hex", other + "\x1A:0400000001020304\n")), words + names) << end;
    }
    const std::pair<std::string_view, int> pairs[] = {{"cE", 0xCE}, {"G7", 7}, {"F", 0xF0}, {"", 0}};
    for (const auto& [pair, value] : pairs)
        EXPECT_EQ(HexPairToByte(pair), value) << pair;
}

TEST(UploadStream, NamesFollowInCp1250CutToSixteenCharactersAndPadded)
{
    std::string euros;  // three bytes of UTF-8 each, one of CP1250
    for (int i = 0; i < 15; ++i)
        euros += "€";
    const std::pair<std::string, std::string> names[] = {
        {"Prog", "Prog"}, {"", std::string(16, '\xFF')}, {" ", ""},  // a blank is a name
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOP"},
        // 17 characters in 26 bytes: the 17th character, not the 17th byte, is dropped.
        {"Zażółć gęślą jaźń", "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F"},
        // What CP1250 lacks, and each byte that is no UTF-8, is one '?' and one character.
        {"A日B\xFF" "C\xC5", "A?B?C?"}, {"€\xC5" + euros, "\x80?" + std::string(14, '\x80')},
        {"", std::string(16, '\xFF')},
    };
    TBankNames bank;
    std::string table;
    for (std::size_t i = 0; i < BankCount; ++i) {
        bank[i] = names[i].first;
        table += names[i].second + std::string(BankNameLength - names[i].second.size(), ' ');
    }
    TempDir dir;
    EXPECT_EQ(StreamOf(dir.Write("p.hex", ":0400000001020304\n"), bank), Word(1, 2, 3, 4) + table);
}

TEST(HexFileReader, LineEndsCtrlZAndOrdinaryBytesAtEveryBufferBoundary)
{
    const std::string head = ":10000000DEADBEEF";
    const std::string kept = (head + std::string(100, '7')).substr(0, HexFileReader::KeptLineLength);
    const std::pair<std::string, Lines> cases[] = {
        {"", {}}, {"\n", {""}}, {"a\nb\n", {"a", "b"}}, {"a\r\nb\r\n", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}}, {"a\n\r\nb\n\n", {"a", "", "b", ""}},
        // Ctrl-Z at the start of a line ends the file.
        {"\x1A" "a\n", {}}, {"a\n\x1A", {"a"}}, {"a\r\n\x1A" "b\r\n", {"a"}},
        // Inside a line it ends the line's text; a further one in the skipped rest ends the file.
        {"ab\x1A", {"ab"}}, {"ab\x1A" "cd\nef\n", {"ab", "ef"}}, {"ab\x1A" "cd\ref", {"ab", "ef"}},
        {"ab\x1A\r\nef", {"ab", "ef"}}, {"ab\x1A" "c\x1A" "d\nef\n", {"ab"}},
        // NUL and every other byte are characters.
        {std::string("a\0b\n\0\n", 6), {std::string("a\0b", 3), std::string(1, '\0')}},
        {"\t\x01\x1B\x7F\x80\xFF\n", {"\t\x01\x1B\x7F\x80\xFF"}},
        // Long lines keep their first 64 characters and lose nothing after.
        {head + std::string(1000, '7') + "\r\n" + head + std::string(1000, '7') + "\x1A" "xx\r\nlast",
         {kept, kept, "last"}},
    };
    TempDir dir;
    for (const std::size_t bufferSize : {std::size_t(1), std::size_t(2), std::size_t(3), HexFileReader::DefaultBufferSize})
        for (const auto& [bytes, lines] : cases)
            EXPECT_EQ(ReadLines(dir.Write("lines.hex", bytes), bufferSize), lines)
                << "buffer " << bufferSize << ", bytes \"" << bytes.substr(0, 40) << '"';
}

TEST(HexFileReader, WideScanAgreesWithReadingByteByByte)
{
    // Lines of every length up to 150 holding tabs, NULs, high bytes, the odd Ctrl-Z
    // and all three line ends: the fast scan must find exactly the ends that reading
    // one byte at a time finds.
    std::mt19937 random(7);
    const char fill[] = {'A', '0', ':', '\t', '\0', '\x1B', '\x80', '\xFF'};
    const char* const ends[] = {"\n", "\r\n", "\r"};
    std::string text;
    for (int length = 0; length < 150; ++length) {
        for (int i = 0; i < length; ++i)
            text += (length % 37 == 5 && i == length / 2) ? '\x1A' : fill[random() % std::size(fill)];
        text += ends[length % 3];
    }
    TempDir dir;
    const auto path = dir.Write("mixed.hex", text);
    const Lines wide = ReadLines(path, HexFileReader::DefaultBufferSize);
    EXPECT_EQ(wide.size(), 150u);
    EXPECT_EQ(wide, ReadLines(path, 1));
}

TEST(HexFileReader, SharesTheFileWhileOpenAndReadsItAgainWhenReopened)
{
    TempDir dir;
    const auto path = dir.Write("one.hex", "only\n");
    {
        HexFileReader reader(path);
        EXPECT_TRUE(CanLock(path, LOCK_SH));   // other readers are welcome
        EXPECT_FALSE(CanLock(path, LOCK_EX));  // a writer is kept out
        EXPECT_EQ(reader.ReadLine(), "only");
        EXPECT_THROW(reader.ReadLine(), EInOutError);  // read beyond end of file
        reader.Close();
        reader.Close();
        EXPECT_TRUE(CanLock(path, LOCK_EX));
        EXPECT_THROW(reader.ReadLine(), EInOutError);
        reader.Open(path);
        EXPECT_EQ(reader.ReadLine(), "only");
    }
    EXPECT_TRUE(CanLock(path, LOCK_EX));  // the destructor released it

    // Nothing goes out for a file that cannot be read, and a sink that fails (a port
    // write, say) leaves the file neither open nor locked.
    std::string sent;
    EXPECT_THROW(WriteUploadStream(dir.Path() / "none.hex", {}, [&sent](std::uint8_t b) { sent += char(b); }),
                 EInOutError);
    EXPECT_EQ(sent, "");
    EXPECT_THROW(WriteUploadStream(path, {}, [](std::uint8_t) { throw std::runtime_error("port"); }),
                 std::runtime_error);
    EXPECT_TRUE(CanLock(path, LOCK_EX));
}
