#include "runtime/Cp1250.h"
#include "runtime/TextLookup.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(Cp1250, PolishLettersRoundTrip)
{
    const std::string polish = "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ";
    const std::string bytes = Utf8ToCp1250(polish);
    ASSERT_EQ(bytes.size(), 27u);
    EXPECT_EQ(bytes.substr(0, 12), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9");
    EXPECT_EQ(Cp1250ToUtf8(bytes), polish);
}

TEST(Cp1250, WhatCp1250LacksBecomesAQuestionMark)
{
    EXPECT_EQ(Utf8ToCp1250("a€b"), "a\x80" "b");  // the euro sign exists
    EXPECT_EQ(Utf8ToCp1250("x日本y"), "x??y");
    EXPECT_EQ(Utf8ToCp1250("bad\xC3(end"), "bad?(end");
    EXPECT_EQ(Utf8ToCp1250("cut\xE2\x82"), "cut?");
    EXPECT_EQ(Cp1250ToUtf8("\x81" "A\x98"), "?A?");
    EXPECT_EQ(Utf8ToCp1250(std::string("nul\0in", 6)), std::string("nul\0in", 6));
}

TEST(TextLookup, RuntimeTextsSearchDefaultThenAddedDomains)
{
    setenv("LANG", "C", 1);
    InitTextLookup(TEST_LOCALE_DIR);
    EXPECT_EQ(RuntimeText("File not found"), "File not found");
    setenv("LANG", "pl_PL", 1);
    InitTextLookup(TEST_LOCALE_DIR);
    EXPECT_EQ(RuntimeText("File not found"), "Nie znaleziono pliku");
    EXPECT_EQ(RuntimeText("OK"), "OK");  // only "cport" has it, and it is not listed yet
    AddRuntimeTextDomain("cport");
    EXPECT_EQ(RuntimeText("OK"), "Dobrze");
    EXPECT_EQ(CurrentDomainText("File not found"), "Nie znaleziono pliku");
    EXPECT_STREQ(std::getenv("LANG"), "pl_PL");
    setenv("LANG", "C", 1);
    InitTextLookup(TEST_LOCALE_DIR);
}
