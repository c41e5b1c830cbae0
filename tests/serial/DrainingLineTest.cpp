// When a write completes, seen on a line that drains at its rate: a write returns only
// when its bytes have left the output queue, a time-out cuts it short with the count
// that went out, and Close takes back nothing that was written; then the same rules on
// each shape of transmitter, and a held line looked at ever more rarely.
#include "DrainingLine.h"
#include "PtyPortTest.h"
#include "serial/posix/PosixComDevice.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto ByteTime = 16600us;  // 10 bits at 600 bit/s, less a little for clock steps

// The line and its device are made before the port and taken apart after it.
struct DrainingDevice {
    explicit DrainingDevice(DrainingLine::Shape shape = DrainingLine::Shape::Queue) : line(shape) {}
    DrainingLine line;
    PosixComDevice device{line};
};

class DrainingPort : protected DrainingDevice, public PtyPortTest {
protected:
    explicit DrainingPort(DrainingLine::Shape shape = DrainingLine::Shape::Queue)
        : DrainingDevice(shape), PtyPortTest(&device)
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

namespace {

struct Transmitter {
    const char* name;
    DrainingLine::Shape shape;
    std::size_t buffer;  // bytes it holds that the queue no longer counts
};

const Transmitter Transmitters[] = {
    {"Queue", DrainingLine::Shape::Queue, 0},
    {"Uart16550", DrainingLine::Shape::Uart16550, 16},
    {"UsbAdapter", DrainingLine::Shape::UsbAdapter, 128},
};

void PrintTo(const Transmitter& transmitter, std::ostream* out) { *out << transmitter.name; }

std::string Numbered(std::size_t size)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(i % 251);
    return bytes;
}

class EachTransmitter : public DrainingPort, public ::testing::WithParamInterface<Transmitter> {
protected:
    EachTransmitter() : DrainingPort(WithParamInterface::GetParam().shape) {}
};

std::string TransmitterName(const ::testing::TestParamInfo<Transmitter>& info) { return info.param.name; }

} // namespace

INSTANTIATE_TEST_SUITE_P(Shapes, EachTransmitter, ::testing::ValuesIn(Transmitters), TransmitterName);

TEST_P(EachTransmitter, EveryByteReportedWrittenReachesTheReaderOnceAndInOrderAfterAnImmediateClose)
{
    const std::string stream = Numbered(20);
    port.Open();
    for (const char byte : stream)
        ASSERT_EQ(port.Write(&byte, 1), 1);
    EXPECT_EQ(ReceivedAfterClose(), stream);
    EXPECT_EQ(line.Dropped(), 0u);
}

TEST_P(EachTransmitter, ATimeOutOrAnAbortReportsExactlyTheBytesThatLeftTheQueue)
{
    const std::string block = Numbered(400);
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    port.Open();
    const auto timedOut = static_cast<std::size_t>(port.Write(block.data(), 400));
    EXPECT_LT(timedOut, block.size());
    std::string received = ReceivedAfterClose();
    EXPECT_EQ(received, block.substr(0, timedOut));
    EXPECT_EQ(line.Dropped(), block.size() - timedOut);

    port.Timeouts().SetWriteTotalConstant(0);  // only the abort ends it
    port.Open();
    TComTransfer* write = nullptr;
    port.InitTransfer(write);
    ASSERT_EQ(port.StartWrite(block.data(), 400, write), 0);
    received = pty.Receive(1, 2s);  // a byte is on the line
    port.AbortTransfers();
    const auto aborted = static_cast<std::size_t>(port.WaitForTransfer(write));
    port.DoneTransfer(write);
    EXPECT_LT(aborted, block.size());
    EXPECT_EQ(received + ReceivedAfterClose(), block.substr(0, aborted));
    EXPECT_EQ(line.Dropped(), 2 * block.size() - timedOut - aborted);
}

TEST_P(EachTransmitter, AHeldLineIsLookedAtEverMoreRarelyAndTheTimeOutStillEndsTheWrite)
{
    const std::string block = Numbered(GetParam().buffer + 1);  // one byte stays queued
    port.SetEvents({});  // only the write looks at the queue
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(500);
    port.Open();
    line.Hold(true);
    const std::size_t before = line.Looks();
    EXPECT_EQ(port.Write(block.data(), static_cast<std::int32_t>(block.size())), std::int32_t(GetParam().buffer));
    // Looks every half byte time would be 60 in 500 ms; backing off from there, about a dozen.
    EXPECT_LE(line.Looks() - before, 25u);
    EXPECT_EQ(ReceivedAfterClose(), block.substr(0, GetParam().buffer));
    EXPECT_EQ(line.Dropped(), 1u);
}
