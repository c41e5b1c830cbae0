// The HEX file reader's line rules, shown at buffer sizes a file cannot choose, and
// the stream library's own guarantees. vorn-stream's tests show which lines give
// which words and how names are encoded.
#include "PlatformFiles.h"
#include "upload/UploadStream.h"
#include "runtime/Exception.h"
#include "TempDir.h"
#include <array>
#include <gtest/gtest.h>
#include <random>

namespace {

using Lines = std::vector<std::string>;

// Every line (a reader that never ends stops at 1000), asking the at-end test twice
// each time: asking must not move the reader.
Lines ReadLines(const std::filesystem::path& path, std::size_t bufferSize)
{
    HexFileReader reader(path.string(), bufferSize);
    Lines lines;
    while (!reader.Eof() && !reader.Eof() && lines.size() < 1000)
        lines.emplace_back(reader.ReadLine());
    return lines;
}

} // namespace

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
    const std::size_t bufferSizes[] = {1, 2, 3, HexFileReader::DefaultBufferSize};
    for (const std::size_t bufferSize : bufferSizes)
        for (const auto& [bytes, lines] : cases)
            EXPECT_EQ(ReadLines(dir.Write("lines.hex", bytes), bufferSize), lines)
                << "buffer " << bufferSize << ", bytes \"" << bytes.substr(0, 40) << '"';
    // Lines of every length up to 150 holding tabs, NULs, high bytes, the odd Ctrl-Z and all
    // three line ends: the wide scan finds exactly the ends that reading byte by byte finds.
    std::mt19937 random(7);
    const char fill[] = {'A', '0', ':', '\t', '\0', '\x1B', '\x80', '\xFF'};
    std::string text;
    for (int length = 0; length < 150; ++length) {
        for (int i = 0; i < length; ++i)
            text += (length % 37 == 5 && i == length / 2) ? '\x1A' : fill[random() % std::size(fill)];
        text += std::array{"\n", "\r\n", "\r"}[length % 3];
    }
    const auto path = dir.Write("mixed.hex", text);
    EXPECT_EQ(ReadLines(path, HexFileReader::DefaultBufferSize).size(), 150u);
    EXPECT_EQ(ReadLines(path, HexFileReader::DefaultBufferSize), ReadLines(path, 1));
}

// Either case; a digit that is missing or no hex digit counts 0.
TEST(UploadStream, HexPairsGiveTheirByte)
{
    const std::pair<std::string_view, int> pairs[] = {{"A5", 0xA5}, {"a5", 0xA5}, {"0F", 0x0F}, {"F", 0xF0},
                                                      {"", 0}, {"G1", 0x01}, {"1G", 0x10}, {"FFx", 0xFF}};
    for (const auto& [pair, byte] : pairs)
        EXPECT_EQ(HexPairToByte(pair), byte) << pair;
}

// Shared with other readers while open, kept from writers, released on close.
class HexFileReaderHold : public ::testing::Test {
protected:
    TempDir dir_;
    const std::string path_ = dir_.Write("one.hex", "only\n").string();
};

TEST_F(HexFileReaderHold, AnOpenReaderLetsOtherReadersInAndKeepsWritersOut)
{
    HexFileReader reader(path_);
    EXPECT_TRUE(CanOpen(path_, false));
    EXPECT_FALSE(CanOpen(path_, true));
}

TEST_F(HexFileReaderHold, ReadingPastTheEndFailsAndReopeningStartsOver)
{
    HexFileReader reader(path_);
    EXPECT_EQ(reader.ReadLine(), "only");
    EXPECT_THROW(reader.ReadLine(), EInOutError);  // read beyond end of file
    reader.Open(path_);
    EXPECT_EQ(reader.ReadLine(), "only");
}

TEST_F(HexFileReaderHold, CloseReleasesTheFileOnceAndTwiceAndReadingAfterItFails)
{
    HexFileReader reader(path_);
    reader.Close();
    reader.Close();
    EXPECT_TRUE(CanOpen(path_, true));
    EXPECT_THROW(reader.ReadLine(), EInOutError);
}

TEST_F(HexFileReaderHold, TheDestructorAndAFailingSinkReleaseTheFile)
{
    {
        HexFileReader reader(path_);
    }
    EXPECT_TRUE(CanOpen(path_, true));
    // A sink that fails (a port write, say) leaves the file neither open nor locked.
    EXPECT_THROW(WriteUploadStream(path_, {}, [](std::uint8_t) { throw std::runtime_error("port"); }),
                 std::runtime_error);
    EXPECT_TRUE(CanOpen(path_, true));
}

// The file layer's codes, and so its messages, are the same on every platform.
TEST(HexFileReader, RefusesWhatItCannotReadWithTheCodesOfTheFileLayer)
{
    TempDir dir;
    const auto held = dir.Write("held.hex", "x\n");
    const TWriterHold writer(held);
    const std::pair<std::filesystem::path, int> cases[] = {
        {dir.Path() / "missing.hex", 2}, {dir.Path() / "missing" / "x.hex", 2}, {dir.Path(), 5}, {DevicePath, 5},
        {held, EInOutError::SharingViolation}};
    for (const auto& [path, code] : cases) {
        try {
            HexFileReader reader(path.string());
            ADD_FAILURE() << path << " opened";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.ErrorCode(), code) << path;
        }
    }
}

// The upload's whole stream is the byte stream, up to a limit that holds exactly.
TEST(UploadStream, ReadWholeIsTheStreamAndStopsPastItsLimit)
{
    TempDir dir;
    const std::string path = dir.Write("three.hex", ":0400000001020304F2\n:00000001FF\n:04000000050607\n"
                                                    ":0400000008090A0BD6\n").string();
    const TBankNames names{"A", "", "Zażółć"};
    std::string expected;
    WriteUploadStream(path, names, [&expected](std::uint8_t b) { expected += char(b); });
    ASSERT_EQ(expected.size(), 3 * 4 + NameTableSize);
    const auto whole = ReadUploadStream(path, names, expected.size());
    ASSERT_TRUE(whole);
    std::string read;
    for (const TProgramWord& word : whole->words)
        read.append(word.begin(), word.end());
    read.append(whole->names.begin(), whole->names.end());
    EXPECT_EQ(read, expected);
    EXPECT_EQ(whole->words.size(), 3u);
    for (const std::size_t tooSmall : {expected.size() - 1, NameTableSize, NameTableSize - 1})
        EXPECT_FALSE(ReadUploadStream(path, names, tooSmall)) << tooSmall;
    EXPECT_TRUE(CanOpen(path, true));  // closed either way
    const auto empty = ReadUploadStream(dir.Write("empty.hex", "").string(), {}, NameTableSize);
    ASSERT_TRUE(empty);
    EXPECT_EQ(std::tuple(empty->Size(), empty->words.size()), std::tuple(NameTableSize, 0u));
}
