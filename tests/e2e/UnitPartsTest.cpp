// The simulated unit's pure parts: framing decoded from termios flags, how
// names are shown, and the tally that keeps only the name table.
#include "tools/vorn-unit/LineSettings.h"
#include "tools/vorn-unit/UploadSummary.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <string>

TEST(UnitLineSettings, DecodesEveryFramingTheTransmitterCanAskFor)
{
    const std::pair<tcflag_t, const char*> cases[] = {
        {CS8 | CREAD | CLOCAL, "600 bit/s, 8 data bits, no parity, 1 stop bit"},
        {CS7 | PARENB | CSTOPB, "600 bit/s, 7 data bits, even parity, 2 stop bits"},
        {CS6 | PARENB | PARODD, "600 bit/s, 6 data bits, odd parity, 1 stop bit"},
        {CS5 | CSTOPB | PARENB | PARODD | CMSPAR, "600 bit/s, 5 data bits, mark parity, 1.5 stop bits"},
        {CS8 | PARENB | CMSPAR, "600 bit/s, 8 data bits, space parity, 1 stop bit"},
        {CS8 | PARODD, "600 bit/s, 8 data bits, no parity, 1 stop bit"},  // PARODD alone is no parity
    };
    for (const auto& [flags, text] : cases)
        EXPECT_EQ(DescribeLineSettings(DecodeLineSettings(flags, 600)), text);
}

TEST(UnitNames, ShownDecodedTrimmedAndSafe)
{
    const auto entry = [](std::string text) { return text.resize(UnitNameSize, ' '), text; };
    std::string dots;
    for (int i = 0; i < 15; ++i)
        dots += "˙";  // 0xFF in CP1250: a table that is not all 0xFF is a name, however odd
    const std::pair<std::string, std::string> cases[] = {
        {std::string(16, '\xFF'), ""}, {entry("Bass"), "Bass"}, {entry("  lead"), "  lead"},
        {std::string(16, ' '), ""}, {entry("Za\xBF\xF3\xB3\xE6"), "Zażółć"},
        {std::string(15, '\xFF') + ' ', dots},
        {entry(std::string("a\x1B[2Jb\x7F", 7)), "a\\x1B[2Jb\\x7F"}, {entry(std::string("\0x", 2)), "\\x00x"},
    };
    for (const auto& [table, shown] : cases)
        EXPECT_EQ(DisplayBankName(table), shown);
}

TEST(UnitSummary, TallyKeepsTheLastTableAcrossAnyChunking)
{
    std::string stream;
    for (int i = 0; i < 1000; ++i)
        stream += static_cast<char>(i * 7 + i / 256);
    for (std::size_t chunk : {1u, 3u, 127u, 128u, 129u, 1000u}) {
        UploadTally tally;
        for (std::size_t at = 0; at < stream.size(); at += chunk)
            tally.Add(std::string_view(stream).substr(at, chunk));
        EXPECT_EQ(tally.Bytes(), stream.size()) << chunk;
        EXPECT_EQ(tally.Tail(), stream.substr(stream.size() - 128)) << chunk;
    }
}
