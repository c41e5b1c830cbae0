#include "app/UploadStream.h"

#include <gtest/gtest.h>

TEST(EncodeBankName, PadsTruncatesAndEncodesInCp1250)
{
    std::string wide;
    for (int i = 0; i < 17; ++i)
        wide += "日";
    const std::pair<std::string, std::string> cases[] = {
        {"AB", "AB"}, {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOP"}, {" a b ", " a b "},
        {" ", ""},  // a blank is a name; only no text at all is the empty entry
        // 17 characters in 26 bytes of UTF-8: the 17th character, not the 17th byte, is dropped.
        {"Zażółć gęślą jaźń", "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F"},
        {"ĄĆĘŁŃÓŚŹŻ", "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"},
        // What CP1250 lacks, and bytes that are no UTF-8, become a question mark each.
        {"A日B", "A?B"}, {wide, "????????????????"}, {"\xFF", "?"}, {"A\xC5", "A?"},
    };
    for (const auto& [name, bytes] : cases) {
        TBankEntry entry;
        entry.fill(' ');
        std::copy(bytes.begin(), bytes.end(), entry.begin());
        EXPECT_EQ(EncodeBankName(name), entry) << name;
    }
    TBankEntry empty;
    empty.fill(0xFF);
    EXPECT_EQ(EncodeBankName(""), empty);
}
