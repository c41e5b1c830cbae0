#include "app/UploadStream.h"

#include <gtest/gtest.h>

TEST(HexPairToByte, DigitsOfEitherCaseCountAndEverythingElseIsZero)
{
    const struct {
        std::string_view pair;
        int value;
    } cases[] = {
        {"FF", 255}, {"3F", 63}, {"A0", 160}, {"ff", 255}, {"a5", 165}, {"5a", 90}, {"cE", 206},
        // Neighbours of the digit and letter ranges, letters past F, high bytes that
        // equal a hex letter in their low seven bits, NUL, and a missing character.
        {"G7", 7}, {"7g", 112}, {"/:", 0}, {"@`", 0}, {"\xC1\xE6", 0}, {std::string_view("\0" "5", 2), 5},
        {"F", 240}, {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexPairToByte(c.pair), c.value) << '"' << c.pair << '"';
}

TEST(DecodeHexLine, WordOfEveryRecordKindAsWritten)
{
    using Word = std::optional<TProgramWord>;
    const struct {
        std::string line;
        Word word;
    } cases[] = {
        // Only lines of more than twelve characters; past the end a position counts 0.
        {"123456789ABC", std::nullopt},
        {":0100000012AB", TProgramWord{0x12, 0xAB, 0, 0}},
        {":0100000012AB3", TProgramWord{0x12, 0xAB, 0x30, 0}},
        {"             ", TProgramWord{0, 0, 0, 0}},
        // Data records of 1 to 5 bytes: what does not fill the word is the checksum, then 0.
        {":01000000AB54", TProgramWord{0xAB, 0x54, 0, 0}},
        {":02000000ABCD86", TProgramWord{0xAB, 0xCD, 0x86, 0}},
        {":03000000ABCDEF96", TProgramWord{0xAB, 0xCD, 0xEF, 0x96}},
        {":10010000214601360121470136007EFE09D2190140", TProgramWord{0x21, 0x46, 0x01, 0x36}},
        // No data and end of file are not taken; address records are.
        {":0000000000", std::nullopt},
        {":00000001FF", std::nullopt},
        {":020000040800F2", TProgramWord{0x08, 0x00, 0xF2, 0}},
        {":04000005080001C925", TProgramWord{0x08, 0x00, 0x01, 0xC9}},
        // Blanks before the colon shift the record: the word comes from its type and data.
        {"  :10010000214601360121470136007EFE09D2190140", TProgramWord{0x00, 0x21, 0x46, 0x01}},
        {":04000000dEaDBeEfc4", TProgramWord{0xDE, 0xAD, 0xBE, 0xEF}},
        // NUL and control bytes hold positions and count 0.
        {std::string("\0\0\0\0\0\0\0\0\0" "F1\x01" "2\t4" "5\0", 17), TProgramWord{0xF1, 0x02, 0x04, 0x50}},
        // Nothing after position 17 matters, however long the line.
        {":04000000DEADBEEF" + std::string(100000, 'Z'), TProgramWord{0xDE, 0xAD, 0xBE, 0xEF}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeHexLine(c.line), c.word) << c.line.substr(0, 50);
}
