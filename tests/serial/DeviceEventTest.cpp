// Events, waits and line events of the termios device layer.
#include "DeviceFixture.h"

#include <cerrno>
#include <ctime>
#include <future>

namespace {

// CPU time of the calling thread.
std::chrono::microseconds ThreadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_nsec / 1000);
}

class EventTest : public DeviceTest {
protected:
    EventTest() : DeviceTest(SystemComDevice()) {}

    // Starts a line-event wait; true when it completed at once.
    bool StartWait(Overlapped& o, DWORD& mask)
    {
        bool now = device_.WaitCommEvent(handle_, &mask, &o.block);
        if (!now) {
            EXPECT_EQ(device_.GetLastError(), ERROR_IO_PENDING);
        }
        return now;
    }
    // The events of one wait, started and finished here.
    DWORD NextEvents()
    {
        Overlapped o(device_);
        DWORD mask = 0;
        StartWait(o, mask);
        return Finish(o) == 0 ? mask : 0xDEAD;
    }
    bool StaysPending(Overlapped& o, DWORD ms = 40)
    {
        return device_.WaitForSingleObject(o.Event(), ms) == WAIT_TIMEOUT;
    }
};

TEST_F(EventTest, EventsWakeWaitersOnOtherThreadsAndTheLowestIndexWins)
{
    THandle manual = device_.CreateEvent(true, false);
    THandle automatic = device_.CreateEvent(false, false);
    THandle both[] = {manual, automatic};
    auto waiter = std::async(std::launch::async,
                             [&] { return device_.WaitForMultipleObjects(2, both, false, INFINITE); });
    EXPECT_TRUE(device_.SetEvent(automatic));
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(device_.WaitForSingleObject(automatic, 0), WAIT_TIMEOUT) << "taken by the wait";

    EXPECT_TRUE(device_.SetEvent(automatic));
    EXPECT_TRUE(device_.SetEvent(manual));
    EXPECT_EQ(device_.WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0);
    EXPECT_EQ(device_.WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0) << "manual stays set";
    EXPECT_TRUE(device_.ResetEvent(manual));
    EXPECT_EQ(device_.WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(device_.WaitForSingleObject(manual, 30), WAIT_TIMEOUT);

    EXPECT_TRUE(device_.CloseHandle(automatic));
    EXPECT_EQ(device_.WaitForSingleObject(automatic, 0), WAIT_FAILED);
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_FALSE(device_.SetEvent(handle_)) << "a device is no event";
    EXPECT_EQ(device_.WaitForMultipleObjects(2, both, true, 0), WAIT_FAILED);
    EXPECT_TRUE(device_.CloseHandle(manual));
    THandle signalled = device_.CreateEvent(true, true);
    EXPECT_EQ(device_.WaitForSingleObject(signalled, 0), WAIT_OBJECT_0);
    device_.CloseHandle(signalled);
}

TEST_F(EventTest, ReceivedCharactersAreReportedOncePerArrival)
{
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR | EV_TXEMPTY | EV_ERR | EV_CTS));
    pty_.Send("abc");
    EXPECT_EQ(NextEvents(), EV_RXCHAR);

    // The bytes stay unread: the next wait must sleep, not spin.
    Overlapped o(device_);
    DWORD mask = 0;
    ASSERT_FALSE(StartWait(o, mask));
    auto cpu = ThreadCpu();
    EXPECT_TRUE(StaysPending(o, 100));
    EXPECT_LT(ThreadCpu() - cpu, 10ms);
    DWORD errors = 0;
    COMSTAT stat{};
    EXPECT_TRUE(device_.ClearCommError(handle_, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 3u);

    pty_.Send("d");
    EXPECT_EQ(Finish(o), 0);
    EXPECT_EQ(mask, EV_RXCHAR);
    SetTimeouts(0xFFFFFFFF, 0, 0);
    EXPECT_EQ(Read(10), "abcd");
}

TEST_F(EventTest, TxEmptyFollowsAWriteOnAnotherThread)
{
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR | EV_TXEMPTY));
    Overlapped o(device_);
    DWORD mask = 0;
    ASSERT_FALSE(StartWait(o, mask));
    auto waiter = std::async(std::launch::async, [&] { return Finish(o); });
    EXPECT_EQ(device_.WaitForSingleObject(o.Event(), 20), WAIT_TIMEOUT);
    EXPECT_EQ(Write("x"), 1);
    EXPECT_EQ(waiter.get(), 0);
    EXPECT_EQ(mask, EV_TXEMPTY);
    // Reported once: no new write, no new event.
    Overlapped again(device_);
    ASSERT_FALSE(StartWait(again, mask));
    EXPECT_TRUE(StaysPending(again));
    ASSERT_TRUE(device_.SetCommMask(handle_, 0));  // the block must outlive its wait
    EXPECT_EQ(Finish(again), 0);
}

TEST_F(EventTest, TheEventCharacterRaisesRxFlag)
{
    DCB dcb = LineDcb(9600);
    dcb.EvtChar = '\n';
    ASSERT_TRUE(device_.SetCommState(handle_, dcb));
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXFLAG));
    Overlapped o(device_);
    DWORD mask = 0;
    ASSERT_FALSE(StartWait(o, mask));
    pty_.Send("ab");
    EXPECT_TRUE(StaysPending(o));
    pty_.Send("c\nd");
    EXPECT_EQ(Finish(o), 0);
    EXPECT_EQ(mask, EV_RXFLAG);
    SetTimeouts(0, 0, 200);
    EXPECT_EQ(Read(5), "abc\nd");
}

TEST_F(EventTest, InputNearlyFillingTheQueueRaisesRx80Full)
{
    ASSERT_TRUE(device_.SetupComm(handle_, 100, 100));
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR | EV_RX80FULL));
    pty_.Send(std::string(50, 'a'));
    EXPECT_EQ(NextEvents(), EV_RXCHAR);
    pty_.Send(std::string(40, 'b'));
    DWORD events = NextEvents();
    if (events == EV_RXCHAR)  // the 40 bytes may come in two pieces
        events = NextEvents();
    EXPECT_EQ(events, EV_RXCHAR | EV_RX80FULL);
}

TEST_F(EventTest, APendingReadGetsBytesThatALineEventWaitTookIn)
{
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR));
    SetTimeouts(0xFFFFFFFF, 0xFFFFFFFF, 1000);  // a read ends as soon as anything is there
    for (int round = 0; round < 5; ++round) {
        Overlapped wait(device_);
        DWORD mask = 0;
        ASSERT_FALSE(StartWait(wait, mask));
        auto waiter = std::async(std::launch::async, [&] { return Finish(wait); });
        Overlapped read(device_);
        std::string buffer(8, '\0');
        ASSERT_FALSE(StartRead(read, buffer));
        auto start = std::chrono::steady_clock::now();
        auto reader = std::async(std::launch::async, [&] { return Finish(read); });
        pty_.Send("abc");
        EXPECT_EQ(reader.get(), 3);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "round " << round;
        EXPECT_EQ(buffer.substr(0, 3), "abc");
        EXPECT_EQ(waiter.get(), 0);
        EXPECT_EQ(mask, EV_RXCHAR);
    }
}

TEST_F(EventTest, ANewMaskEndsThePendingWaitWithNoEvents)
{
    ASSERT_TRUE(device_.SetCommMask(handle_, EV_RXCHAR));
    Overlapped o(device_);
    DWORD mask = 0xFF;
    ASSERT_FALSE(StartWait(o, mask));
    Overlapped second(device_);
    DWORD other = 0;
    EXPECT_FALSE(device_.WaitCommEvent(handle_, &other, &second.block)) << "one wait at a time";
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EINVAL));
    auto waiter = std::async(std::launch::async, [&] { return Finish(o); });
    ASSERT_TRUE(device_.SetCommMask(handle_, 0));
    EXPECT_EQ(waiter.get(), 0);
    EXPECT_EQ(mask, 0u);
}

TEST_F(EventTest, AWaitThatFailsAtOnceLeavesItsEventReset)
{
    ASSERT_TRUE(device_.SetCommMask(handle_, 0));
    Overlapped o(device_);
    ASSERT_TRUE(device_.SetEvent(o.Event()));
    DWORD mask = 0;
    EXPECT_FALSE(device_.WaitCommEvent(handle_, &mask, &o.block));
    EXPECT_EQ(device_.GetLastError(), static_cast<DWORD>(EINVAL));
    EXPECT_FALSE(o.IsSet());
}

TEST_F(EventTest, TheStopEventWinsOverALineEventAndEndsAnIdleWait)
{
    ASSERT_TRUE(device_.SetCommMask(handle_, 0x5E7));
    THandle stop = device_.CreateEvent(true, false);
    Overlapped o(device_);
    DWORD mask = 0;
    ASSERT_FALSE(StartWait(o, mask));
    THandle list[] = {stop, o.Event()};
    auto waiter = std::async(std::launch::async, [&] {
        auto cpu = ThreadCpu();
        DWORD r = device_.WaitForMultipleObjects(2, list, false, INFINITE);
        return std::pair{r, ThreadCpu() - cpu};
    });
    EXPECT_EQ(device_.WaitForSingleObject(stop, 50), WAIT_TIMEOUT);
    ASSERT_TRUE(device_.SetEvent(stop));
    auto [result, cpu] = waiter.get();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_LT(cpu, 10ms);

    pty_.Send("z");
    EXPECT_EQ(Finish(o), 0);
    EXPECT_EQ(device_.WaitForMultipleObjects(2, list, false, 0), WAIT_OBJECT_0);
    device_.CloseHandle(stop);
}

} // namespace
