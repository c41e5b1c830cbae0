#include "runtime/Format.h"

#include <gtest/gtest.h>

TEST(FormatTemplate, FillsPlaceholdersOfTheirOwnType)
{
    EXPECT_EQ(FormatTemplate("I/O error %d", {32}), "I/O error 32");
    EXPECT_EQ(FormatTemplate("Value must be between %d and %d", {-2147483647, 99}),
              "Value must be between -2147483647 and 99");
    EXPECT_EQ(FormatTemplate("Failed to get data for '%s'", {std::string("Port")}),
              "Failed to get data for 'Port'");
    EXPECT_EQ(FormatTemplate("%d%%", {42}), "42%");
}

TEST(FormatTemplate, KeepsWhatItCannotFillAsText)
{
    // A translation with a stray %s, an unknown conversion and a trailing %.
    EXPECT_EQ(FormatTemplate("kod %s: %d %x%n %", {2}), "kod %s: 2 %x%n %");
    // More placeholders than arguments, and fewer.
    EXPECT_EQ(FormatTemplate("%d %d %d", {1}), "1 %d %d");
    EXPECT_EQ(FormatTemplate("bez liczby", {1, 2}), "bez liczby");
    // Widths and precision would read past the argument in printf; here they are text.
    EXPECT_EQ(FormatTemplate("%999999d %.*s", {5}), "%999999d %.*s");
}

TEST(FormatTemplate, PositionalPlaceholdersReorder)
{
    EXPECT_EQ(FormatTemplate("%2$s z %1$s", {std::string("A"), std::string("B")}), "B z A");
    EXPECT_EQ(FormatTemplate("%3$d %0$d", {1, 2}), "%3$d %0$d");
}
