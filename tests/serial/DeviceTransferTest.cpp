// Transfers of the termios device layer on a pseudo-terminal: when a write counts as
// done, time-outs, purges, aborts and hang-ups.
#include "DeviceFixture.h"

#include <cerrno>
#include <future>
#include <thread>

namespace {

constexpr DWORD MaxDword = 0xFFFFFFFF;
using Clock = std::chrono::steady_clock;

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class TransferTest : public DeviceTest {
protected:
    TransferTest() : DeviceTest(SystemComDevice()) {}

    // Waits until input has reached the device (a line-event wait on EV_RXCHAR).
    void AwaitInput()
    {
        ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR));
        Overlapped o(device_);
        DWORD mask = 0;
        if (!device_.WaitCommEvent(handle_, &mask, &o.block)) {
            ASSERT_EQ(device_.GetLastError(), ERROR_IO_PENDING);
        }
        ASSERT_EQ(Finish(o), 0);
        ASSERT_EQ(mask, EV_RXCHAR);
        ASSERT_TRUE(device_.SetCommMask(handle_, 0));
    }
    // `count` bytes from the master, and nothing after them.
    std::string ReceiveAll(std::size_t count)
    {
        std::string bytes = pty_.Receive(count, 2000ms);
        EXPECT_EQ(pty_.Receive(1, 20ms), "");
        return bytes;
    }
    std::chrono::milliseconds Since(Clock::time_point start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
};

TEST_F(TransferTest, WriteToAPseudoTerminalCompletesAtOnce)
{
    Overlapped o(device_);
    DWORD done = 0;
    EXPECT_TRUE(StartWrite(o, "abc", &done));
    EXPECT_EQ(done, 3u);
    EXPECT_TRUE(o.IsSet());
    EXPECT_EQ(Finish(o), 3);
    EXPECT_EQ(Write(""), 0);
    EXPECT_EQ(pty_.Receive(3, 1000ms), "abc");
}

TEST_F(TransferTest, AReaderStartingAfterCloseGetsEveryByte)
{
    pty_.ReleaseSlave();  // the device's close is the last one
    SetTimeouts(MaxDword, 0, 0, 0, 1000);
    // More than the reader's line buffer holds: the rest waits in the kernel's flip
    // buffers, which a flush of the slave's output queue would empty.
    std::string bytes = Pattern(8300);
    for (std::size_t i = 0; i < 300; ++i)
        ASSERT_EQ(Write(bytes.substr(i, 1)), 1);
    ASSERT_EQ(Write(bytes.substr(300)), 8000);
    // What an event thread does as it ends, then what Close does.
    EXPECT_TRUE(device_.PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR));
    EXPECT_TRUE(device_.PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT));
    CloseDevice();
    EXPECT_EQ(pty_.Receive(bytes.size() + 1, 1000ms), bytes);
}

TEST_F(TransferTest, AStalledReaderEndsTheWriteAtItsTimeOutWithTheCountTaken)
{
    SetTimeouts(MaxDword, 0, 0, 0, 100);
    std::string bytes = Pattern(1 << 20);
    auto start = Clock::now();
    long taken = Write(bytes);
    EXPECT_GE(Since(start), 90ms);
    ASSERT_GT(taken, 0);
    ASSERT_LT(taken, static_cast<long>(bytes.size()));
    // Exactly the bytes counted reach the reader; the rest was dropped.
    EXPECT_EQ(ReceiveAll(static_cast<std::size_t>(taken)), bytes.substr(0, static_cast<std::size_t>(taken)));
}

TEST_F(TransferTest, AWriteLargerThanTheQueueWaitsForRoom)
{
    PtyReader reader(pty_.Master());
    std::string bytes = Pattern(300000);
    EXPECT_EQ(Write(bytes), static_cast<long>(bytes.size()));
    ASSERT_TRUE(reader.WaitFor(bytes.size(), 2000ms));
    EXPECT_EQ(reader.Bytes(), bytes);
}

TEST_F(TransferTest, HangUpFailsThePendingWriteAndEveryLaterTransfer)
{
    std::string bytes = Pattern(1 << 20);
    Overlapped write(device_);
    ASSERT_FALSE(StartWrite(write, bytes));
    auto waiter = std::async(std::launch::async, [&] {
        return Finish(write) == -1 ? device_.GetLastError() : 0;  // errno is per thread
    });
    pty_.CloseMaster();
    EXPECT_EQ(waiter.get(), static_cast<DWORD>(EIO));

    Overlapped again(device_);
    DWORD done = 0;
    EXPECT_FALSE(device_.WriteFile(handle_, "x", 1, &done, &again.block));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EIO));
    EXPECT_FALSE(again.IsSet()) << "nothing to wait for";
    char byte = 0;
    EXPECT_FALSE(device_.ReadFile(handle_, &byte, 1, &done, &again.block));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EIO));
    DWORD mask = 0;
    EXPECT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR | EV_TXEMPTY));
    EXPECT_TRUE(device_.SetEvent(again.Event()));
    EXPECT_FALSE(device_.WaitCommEvent(handle_, &mask, &again.block));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EIO));
    EXPECT_FALSE(again.IsSet()) << "an event loop waiting on it would spin";
    EXPECT_FALSE(device_.ClearCommError(handle_, &mask, nullptr));
    // Closing still works.
    EXPECT_TRUE(device_.PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT));
}

TEST_F(TransferTest, HangUpEndsAPendingReadAndLineEventWait)
{
    SetTimeouts(0, 0, 0);  // a read that waits for all its bytes
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR | EV_TXEMPTY | EV_ERR));
    Overlapped read(device_);
    Overlapped wait(device_);
    std::string buffer(10, '\0');
    ASSERT_FALSE(StartRead(read, buffer));
    DWORD mask = 0;
    ASSERT_FALSE(device_.WaitCommEvent(handle_, &mask, &wait.block));
    auto reader = std::async(std::launch::async, [&] { return Finish(read); });
    auto waiter = std::async(std::launch::async, [&] { return Finish(wait); });
    pty_.CloseMaster();
    EXPECT_EQ(reader.get(), -1);
    EXPECT_EQ(waiter.get(), -1);
}

TEST_F(TransferTest, AbortEndsPendingTransfersFromAnotherThreadWithTheirCounts)
{
    SetTimeouts(0, 0, 0);
    pty_.Send("abc");
    for (int round = 0; round < 10; ++round) {
        Overlapped read(device_);
        std::string buffer(10, '\0');
        ASSERT_FALSE(StartRead(read, buffer));
        auto reader = std::async(std::launch::async, [&] { return Finish(read); });
        if (round == 0) {
            ASSERT_TRUE(device_.WaitForSingleObject(read.Event(), 50) == WAIT_TIMEOUT);
        }
        ASSERT_TRUE(device_.PurgeComm(handle_, PURGE_RXABORT));
        long got = reader.get();
        EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(std::max(got, 0L))),
                  std::string("abc").substr(0, static_cast<std::size_t>(std::max(got, 0L))));
        if (round == 0) {
            EXPECT_EQ(got, 3);
        }
    }

    std::string bytes = Pattern(1 << 20);
    Overlapped write(device_);
    ASSERT_FALSE(StartWrite(write, bytes));
    auto writer = std::async(std::launch::async, [&] { return Finish(write); });
    ASSERT_TRUE(device_.PurgeComm(handle_, PURGE_TXABORT));
    long taken = writer.get();
    ASSERT_GE(taken, 0);
    EXPECT_EQ(ReceiveAll(static_cast<std::size_t>(taken)), bytes.substr(0, static_cast<std::size_t>(taken)));
}

TEST_F(TransferTest, ReadTimeOutsFollowTheirRules)
{
    SetTimeouts(MaxDword, 0, 0);  // at once, with whatever has arrived
    auto start = Clock::now();
    EXPECT_EQ(Read(10), "");
    EXPECT_LT(Since(start), 200ms);
    pty_.Send("abc");
    AwaitInput();
    EXPECT_EQ(Read(10), "abc");

    SetTimeouts(0, 0, 60);  // total constant
    pty_.Send("de");
    start = Clock::now();
    EXPECT_EQ(Read(10), "de");
    EXPECT_GE(Since(start), 55ms);

    SetTimeouts(0, 10, 0);  // total multiplier: 5 x 10 ms
    start = Clock::now();
    EXPECT_EQ(Read(5), "");
    EXPECT_GE(Since(start), 45ms);

    SetTimeouts(20, 0, 0);  // interval after the first byte
    pty_.Send("fgh");
    start = Clock::now();
    EXPECT_EQ(Read(10), "fgh");
    EXPECT_LT(Since(start), 500ms);

    SetTimeouts(MaxDword, MaxDword, 1000);  // as soon as anything has arrived
    pty_.Send("ij");
    start = Clock::now();
    std::string got = Read(10);
    EXPECT_FALSE(got.empty());
    EXPECT_EQ(got, std::string("ij").substr(0, got.size()));
    EXPECT_LT(Since(start), 500ms);
    SetTimeouts(MaxDword, MaxDword, 40);
    EXPECT_EQ(Read(10), got == "ij" ? "" : "j");
}

TEST_F(TransferTest, PurgeKeepsCompletedWritesAndDropsReceivedInput)
{
    EXPECT_EQ(Write("hello"), 5);
    pty_.Send("abc");
    AwaitInput();
    EXPECT_TRUE(device_.PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR));
    EXPECT_EQ(pty_.Receive(5, 1000ms), "hello");
    DWORD errors = 0;
    COMSTAT stat{};
    EXPECT_TRUE(device_.ClearCommError(handle_, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    SetTimeouts(MaxDword, 0, 0);
    EXPECT_EQ(Read(10), "");
    EXPECT_FALSE(device_.PurgeComm(handle_, 0x10));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EINVAL));
}

TEST_F(TransferTest, ClosingTheDeviceCancelsWhatIsPending)
{
    SetTimeouts(0, 0, 0);
    Overlapped read(device_);
    std::string buffer(4, '\0');
    ASSERT_FALSE(StartRead(read, buffer));
    THandle handle = handle_;
    CloseDevice();
    EXPECT_EQ(device_.WaitForSingleObject(read.Event(), 1000), WAIT_OBJECT_0);
    DWORD done = 0;
    EXPECT_FALSE(device_.GetOverlappedResult(handle, &read.block, &done, false));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(ECANCELED));
    EXPECT_FALSE(device_.WriteFile(handle, "x", 1, &done, &read.block));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_FALSE(device_.CloseHandle(handle));
}

TEST_F(TransferTest, ClosingTheEventOfAPendingTransferForgetsItsBlock)
{
    SetTimeouts(0, 0, 0);
    auto block = std::make_unique<Overlapped>(device_);
    auto buffer = std::make_unique<std::string>(4, '\0');
    ASSERT_FALSE(StartRead(*block, *buffer));
    block.reset();  // the event goes with the block
    buffer.reset();
    pty_.Send("late");
    CloseDevice();  // must not write into the freed block (the sanitizers watch)
    SUCCEED();
}

TEST_F(TransferTest, PlainBlockingCallsWorkWithoutABlock)
{
    DWORD done = 0;
    EXPECT_TRUE(device_.WriteFile(handle_, "xyz", 3, &done, nullptr));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(pty_.Receive(3, 1000ms), "xyz");
    SetTimeouts(0, 0, 500);
    pty_.Send("uv");
    char buffer[2] = {};
    EXPECT_TRUE(device_.ReadFile(handle_, buffer, 2, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "uv");
}

} // namespace
