// When a write completes, seen on a line that drains at its rate: a write returns
// only when its bytes have left the output queue, a time-out cuts it short with the
// count that went out, and Close takes back nothing that was written.
#include "DrainingLine.h"
#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/posix/PosixComDevice.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// 600 bit/s, 10 bits a byte: 1/60 s on the line; a little less allows for clock steps.
constexpr auto ByteTime = 16600us;

class DrainingPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_.SetPort(pty_.Path());
        port_.SetBaudRate(br600);
        // As the window has it: line events watched on the event thread.
        port_.SetEvents({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full});
        port_.SetSyncMethod(smNone);
    }
    // Everything the device wrote, read after its close.
    std::string Received()
    {
        pty_.ReleaseSlave();
        return pty_.Receive(SIZE_MAX, 5s);
    }

    PtyPair pty_;
    DrainingLine line_;
    PosixComDevice device_{line_};
    TComPort port_{nullptr, &device_};
};

} // namespace

TEST_F(DrainingPort, EachWriteReturnsAfterItsLineTimeAndCloseKeepsEveryByte)
{
    const std::string stream = "\x12\x34\x56\x78Name    \xFF";
    port_.Open();
    const auto start = Clock::now();
    for (const char byte : stream) {
        const auto before = Clock::now();
        EXPECT_EQ(port_.Write(&byte, 1), 1);
        EXPECT_GE(Clock::now() - before, ByteTime);
    }
    EXPECT_GE(Clock::now() - start, int(stream.size()) * ByteTime);
    port_.Close();
    EXPECT_EQ(line_.Dropped(), 0u);
    EXPECT_EQ(Received(), stream);
}

TEST_F(DrainingPort, TheTotalTimeOutCutsAWriteShortWithTheCountThatWentOut)
{
    port_.Timeouts().SetWriteTotalMultiplier(0);
    port_.Timeouts().SetWriteTotalConstant(200);
    port_.Open();
    const std::string bytes(30, 'x');
    const auto before = Clock::now();
    const std::int32_t written = port_.Write(bytes.data(), std::int32_t(bytes.size()));
    EXPECT_GE(Clock::now() - before, 200ms);
    EXPECT_GE(written, 8);
    EXPECT_LE(written, 14);
    port_.Close();
    EXPECT_EQ(line_.Dropped(), bytes.size() - std::size_t(written));
    EXPECT_EQ(Received().size(), std::size_t(written));
}
