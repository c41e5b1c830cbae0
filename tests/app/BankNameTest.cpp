#include "app/UploadStream.h"

#include <gtest/gtest.h>

namespace {

// The expected entry: `bytes` padded with spaces to 16.
TBankEntry Entry(std::string_view bytes)
{
    TBankEntry entry;
    entry.fill(' ');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        entry.at(i) = static_cast<std::uint8_t>(bytes[i]);
    return entry;
}

} // namespace

TEST(EncodeBankName, PadsTruncatesAndKeepsTheTextAsTyped)
{
    EXPECT_EQ(EncodeBankName("AB"), Entry("AB"));
    EXPECT_EQ(EncodeBankName("ABCDEFGHIJKLMNOPQRST"), Entry("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(EncodeBankName("ABCDEFGHIJKLMNOP"), Entry("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(EncodeBankName(" a b "), Entry(" a b "));
    // A blank is a name; only no text at all is the empty entry.
    EXPECT_EQ(EncodeBankName(" "), Entry(""));
    TBankEntry empty;
    empty.fill(0xFF);
    EXPECT_EQ(EncodeBankName(""), empty);
}

TEST(EncodeBankName, PolishLettersBecomeCp1250AndTheLimitCountsCharacters)
{
    // 17 characters in 26 bytes of UTF-8: the 17th, not the 17th byte, is dropped.
    EXPECT_EQ(EncodeBankName("Zażółć gęślą jaźń"),
              Entry("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F"));
    EXPECT_EQ(EncodeBankName("ĄĆĘŁŃÓŚŹŻ"), Entry("\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"));
}

TEST(EncodeBankName, WhatCp1250LacksBecomesAQuestionMark)
{
    EXPECT_EQ(EncodeBankName("A日B"), Entry("A?B"));
    std::string wide;
    for (int i = 0; i < 17; ++i)
        wide += "日";
    EXPECT_EQ(EncodeBankName(wide), Entry("????????????????"));
    // Bytes that are no UTF-8 are a character each, never an empty name.
    EXPECT_EQ(EncodeBankName("\xFF"), Entry("?"));
    EXPECT_EQ(EncodeBankName("A\xC5"), Entry("A?"));
}
