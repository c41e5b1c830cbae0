// When a write completes, seen on a line that drains at its rate: a write returns only
// when its bytes have left the output queue, a time-out cuts it short with the count
// that went out, and Close takes back nothing that was written.
#include "DrainingLine.h"
#include "PtyPortTest.h"
#include "serial/posix/PosixComDevice.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto ByteTime = 16600us;  // 10 bits at 600 bit/s, less a little for clock steps

// The line and its device are made before the port and taken apart after it.
struct DrainingDevice { DrainingLine line; PosixComDevice device{line}; };

class DrainingPort : protected DrainingDevice, public PtyPortTest {
protected:
    DrainingPort() : PtyPortTest(&device)
    {
        port.SetBaudRate(br600);
        port.SetEvents(MaskToEvents(0x5E7));  // as the window has them, on the event thread
    }
    std::string ReceivedAfterClose()
    {
        port.Close();
        pty.ReleaseSlave();
        return pty.Receive(SIZE_MAX, 5s);
    }
};

} // namespace

TEST_F(DrainingPort, EachWriteReturnsAfterItsLineTimeAndCloseKeepsEveryByte)
{
    const std::string stream = "\x12\x34\x56\x78Name    \xFF";
    port.Open();
    const auto start = Clock::now();
    for (const char byte : stream) {
        const auto before = Clock::now();
        EXPECT_EQ(port.Write(&byte, 1), 1);
        EXPECT_GE(Clock::now() - before, ByteTime);
    }
    EXPECT_GE(Clock::now() - start, int(stream.size()) * ByteTime);
    EXPECT_EQ(ReceivedAfterClose(), stream);
    EXPECT_EQ(line.Dropped(), 0u);
}

TEST_F(DrainingPort, TheTotalTimeOutCutsAWriteShortWithTheCountThatWentOut)
{
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    port.Open();
    const auto before = Clock::now();
    const std::int32_t written = port.Write(std::string(30, 'x').data(), 30);
    EXPECT_GE(Clock::now() - before, 200ms);
    EXPECT_TRUE(written >= 8 && written <= 14) << written;
    EXPECT_EQ(ReceivedAfterClose(), std::string(std::size_t(written), 'x'));
    EXPECT_EQ(line.Dropped(), 30u - std::size_t(written));
}
