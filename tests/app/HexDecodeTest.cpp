#include "app/UploadStream.h"

#include <gtest/gtest.h>

namespace {

using Word = std::optional<TProgramWord>;

Word W(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return TProgramWord{a, b, c, d};
}

} // namespace

TEST(HexPairToByte, DigitsOfEitherCaseCountAndEverythingElseIsZero)
{
    const struct {
        std::string_view pair;
        int value;
    } cases[] = {
        {"FF", 255}, {"00", 0}, {"3F", 63}, {"0A", 10}, {"A0", 160}, {"F0", 240},
        {"ff", 255}, {"a5", 165}, {"5a", 90}, {"1f", 31}, {"Ab", 171}, {"cE", 206},
        // Neighbours of the digit and letter ranges, and letters past F.
        {"G7", 7}, {"7g", 112}, {"/:", 0}, {"@`", 0}, {": ", 0}, {" 9", 9},
        // High-bit bytes that equal a hex letter in their low seven bits.
        {"\xC1\xE6", 0},
        {std::string_view("\0" "5", 2), 5},
        // A missing character counts 0.
        {"F", 240}, {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexPairToByte(c.pair), c.value) << '"' << c.pair << '"';
}

TEST(DecodeHexLine, TakesOnlyLinesOfMoreThanTwelveCharacters)
{
    EXPECT_EQ(DecodeHexLine(""), std::nullopt);
    EXPECT_EQ(DecodeHexLine("123456789ABC"), std::nullopt);
    EXPECT_EQ(DecodeHexLine("            "), std::nullopt);
    // Past the line's end a position counts 0, pair by pair and digit by digit.
    EXPECT_EQ(DecodeHexLine(":0100000012AB"), W(0x12, 0xAB, 0, 0));
    EXPECT_EQ(DecodeHexLine(":0100000012AB3"), W(0x12, 0xAB, 0x30, 0));
    EXPECT_EQ(DecodeHexLine(":0100000012AB34567"), W(0x12, 0xAB, 0x34, 0x56));
    EXPECT_EQ(DecodeHexLine("             "), W(0, 0, 0, 0));
}

TEST(DecodeHexLine, RecordsOfEveryKindGiveTheirWord)
{
    // Data records of 1 to 5 bytes: what does not fill the word is the checksum, then 0.
    EXPECT_EQ(DecodeHexLine(":01000000AB54"), W(0xAB, 0x54, 0, 0));
    EXPECT_EQ(DecodeHexLine(":02000000ABCD86"), W(0xAB, 0xCD, 0x86, 0));
    EXPECT_EQ(DecodeHexLine(":03000000ABCDEF96"), W(0xAB, 0xCD, 0xEF, 0x96));
    EXPECT_EQ(DecodeHexLine(":04000000DEADBEEFC4"), W(0xDE, 0xAD, 0xBE, 0xEF));
    EXPECT_EQ(DecodeHexLine(":10010000214601360121470136007EFE09D2190140"), W(0x21, 0x46, 0x01, 0x36));
    // No data, end of file: not taken.
    EXPECT_EQ(DecodeHexLine(":00000000" "00"), std::nullopt);
    EXPECT_EQ(DecodeHexLine(":00000001FF"), std::nullopt);
    // Address records.
    EXPECT_EQ(DecodeHexLine(":020000021200EA"), W(0x12, 0x00, 0xEA, 0));
    EXPECT_EQ(DecodeHexLine(":020000040800F2"), W(0x08, 0x00, 0xF2, 0));
    EXPECT_EQ(DecodeHexLine(":0400000300003800C1"), W(0x00, 0x00, 0x38, 0x00));
    EXPECT_EQ(DecodeHexLine(":04000005080001C925"), W(0x08, 0x00, 0x01, 0xC9));
}

TEST(DecodeHexLine, PositionsCountOnTheLineAsWritten)
{
    // Blanks before the colon shift the record: the word comes from its type and data.
    EXPECT_EQ(DecodeHexLine("  :10010000214601360121470136007EFE09D2190140"), W(0x00, 0x21, 0x46, 0x01));
    // Lower case decodes like upper case.
    EXPECT_EQ(DecodeHexLine(":04000000deadbeefc4"), W(0xDE, 0xAD, 0xBE, 0xEF));
    EXPECT_EQ(DecodeHexLine(":04000000dEaDBeEfc4"), W(0xDE, 0xAD, 0xBE, 0xEF));
    // NUL and control bytes are characters: they hold positions and count 0.
    EXPECT_EQ(DecodeHexLine(std::string_view("\0\0\0\0\0\0\0\0\0" "F1\x01" "2\t4" "5\0", 17)),
              W(0xF1, 0x02, 0x04, 0x50));
    // Nothing after position 17 matters, however long the line.
    EXPECT_EQ(DecodeHexLine(":04000000DEADBEEF" + std::string(100000, 'Z')), W(0xDE, 0xAD, 0xBE, 0xEF));
}
