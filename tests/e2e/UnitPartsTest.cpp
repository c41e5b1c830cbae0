// The simulated unit's pure parts: framing decoded from termios flags, how
// names are shown, and the tally that keeps only the name table.
#include "tools/vorn-unit/LineSettings.h"
#include "tools/vorn-unit/UploadSummary.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <string>

namespace {

std::string Entry(std::string text)
{
    text.resize(UnitNameSize, ' ');
    return text;
}

}  // namespace

TEST(UnitLineSettings, DecodesEveryFramingTheTransmitterCanAskFor)
{
    EXPECT_EQ(DescribeLineSettings(DecodeLineSettings(CS8 | CREAD | CLOCAL, 600)),
              "600 bit/s, 8 data bits, no parity, 1 stop bit");
    EXPECT_EQ(DescribeLineSettings(DecodeLineSettings(CS7 | PARENB | CSTOPB, 9600)),
              "9600 bit/s, 7 data bits, even parity, 2 stop bits");
    EXPECT_EQ(DescribeLineSettings(DecodeLineSettings(CS6 | PARENB | PARODD, 300)),
              "300 bit/s, 6 data bits, odd parity, 1 stop bit");
    EXPECT_EQ(DescribeLineSettings(DecodeLineSettings(CS5 | CSTOPB | PARENB | PARODD | CMSPAR, 110)),
              "110 bit/s, 5 data bits, mark parity, 1.5 stop bits");
    EXPECT_EQ(DecodeLineSettings(CS8 | PARENB | CMSPAR, 256000).parity, 'S');
    // PARODD without PARENB is no parity at all.
    EXPECT_EQ(DecodeLineSettings(CS8 | PARODD, 600).parity, 'N');
}

TEST(UnitNames, ShownDecodedTrimmedAndSafe)
{
    EXPECT_EQ(DisplayBankName(std::string(16, '\xFF')), "");
    EXPECT_EQ(DisplayBankName(Entry("Bass")), "Bass");
    EXPECT_EQ(DisplayBankName(Entry("  lead")), "  lead");
    EXPECT_EQ(DisplayBankName(std::string(16, ' ')), "");
    // "Zażółć" in CP1250.
    EXPECT_EQ(DisplayBankName(Entry("Za\xBF\xF3\xB3\xE6")), "Zażółć");
    // A table that is not all 0xFF is a name, however odd.
    std::string dots;
    for (int i = 0; i < 15; ++i)
        dots += "˙";  // 0xFF in CP1250
    EXPECT_EQ(DisplayBankName(std::string(15, '\xFF') + ' '), dots);
    EXPECT_EQ(DisplayBankName(Entry(std::string("a\x1B[2Jb\x7F", 7))), "a\\x1B[2Jb\\x7F");
    EXPECT_EQ(DisplayBankName(Entry(std::string("\0x", 2))), "\\x00x");
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
