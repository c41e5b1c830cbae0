// The Windows device layer through the component, on COM1 and COM2: the two ends of a
// pair of pseudo-terminals that the fixture joins on the Linux side.
#include "serial/CPort.h"
#include "serial/win32/WinApi.h"
#include "Wine.h"
#include <algorithm>
#include <chrono>
#include <future>
#include <thread>
#include <gtest/gtest.h>

using namespace comm;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class WinPortTest : public ::testing::Test {
protected:
    WinPortTest()
    {
        for (TComPort* p : {&port, &peer}) {
            p->SetEvents({});
            p->SetSyncMethod(smNone);
        }
        port.SetPort("COM1");
        peer.SetPort("\\\\.\\COM2");
        peer.Open();
        // Reads wait up to a second in all for what they ask.
        peer.Timeouts().SetReadInterval(0);
        peer.Timeouts().SetReadTotalConstant(1000);
    }

    // Everything the peer receives until a second passes without a byte.
    std::string Drain()
    {
        std::string bytes;
        char chunk[4096];
        while (const int n = peer.Read(chunk, sizeof chunk))
            bytes.append(chunk, static_cast<std::size_t>(n));
        return bytes;
    }

    TComPort peer;
    TComPort port;
};

std::string EveryByte(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

} // namespace

TEST_F(WinPortTest, BytesWrittenArriveExactlyAndNoneIsLostByACloseRightAfterTheWrite)
{
    const std::string bytes = EveryByte(20000);
    port.SetBaudRate(br600);
    port.Open();
    EXPECT_EQ(port.Write(bytes.data(), 1), 1);
    EXPECT_EQ(port.Write(bytes.data() + 1, int(bytes.size() - 1)), int(bytes.size() - 1));
    port.Close();
    const std::string got = Drain();
    EXPECT_EQ(got.size(), bytes.size());
    EXPECT_EQ(std::mismatch(got.begin(), got.end(), bytes.begin()).first - got.begin(), std::ptrdiff_t(got.size()));
}

TEST_F(WinPortTest, ReadsTakeWhatArrivedAndEndByTheirTimeouts)
{
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(300);
    port.Open();
    EXPECT_EQ(peer.Write("ab\0c", 4), 4);
    char got[8] = {};
    EXPECT_EQ(port.Read(got, 4), 4);
    EXPECT_EQ(std::string(got, 4), std::string("ab\0c", 4));
    // Nothing comes: the read ends with 0 bytes after its total time-out.
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(got, 8), 0);
    EXPECT_GE(Clock::now() - start, 250ms);
    EXPECT_LT(Clock::now() - start, 3s);
    // Fewer than asked: the count that came.
    EXPECT_EQ(peer.Write("xyz", 3), 3);
    EXPECT_EQ(port.Read(got, 8), 3);
}

TEST_F(WinPortTest, AnAbortEndsAPendingReadAtOnceAndTheQueuesCanBeCleared)
{
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(20000);
    port.Open();
    char got[4];
    auto reading = std::async(std::launch::async, [&] { return port.Read(got, sizeof got); });
    EXPECT_EQ(reading.wait_for(300ms), std::future_status::timeout);
    const auto start = Clock::now();
    port.AbortTransfers();
    ASSERT_EQ(reading.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(reading.get(), 0);
    EXPECT_LT(Clock::now() - start, 2s);
    // What came in before a purge of the input is gone.
    EXPECT_EQ(peer.Write("old", 3), 3);
    const auto deadline = Clock::now() + 2s;
    while (port.ReceivedCount() < 3 && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);  // the count is the system's: nothing to wait on
    EXPECT_TRUE(SystemComDevice().PurgeComm(port.Handle(), kPurgeRxClear));
    EXPECT_EQ(port.ReceivedCount(), 0);
}

TEST_F(WinPortTest, ArrivingBytesReachTheEventHandler)
{
    std::promise<int> arrived;
    port.SetEvents({evRxChar});
    port.SetOnRxChar([&](TComponent*, std::int32_t n) { arrived.set_value(n); port.SetOnRxChar({}); });
    port.Open();
    auto count = arrived.get_future();
    EXPECT_EQ(peer.Write("!", 1), 1);
    ASSERT_EQ(count.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(count.get(), 1);
}

// What the system refuses, with Windows' own code in the message.
TEST_F(WinPortTest, RefusalsCarryTheSystemsCode)
{
    TComPort missing;
    missing.SetPort("COM40");
    try {
        missing.Open();
        ADD_FAILURE() << "COM40 opened";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.WinCode(), 2);
        EXPECT_EQ(e.Message(), "Unable to open com port (win error code: 2)");
    }
}

// Where Wine is not Windows, one row each: what Windows does, and what Wine does instead.
// The rows look at the system's own calls, under the device layer that evens them out.
TEST_F(WinPortTest, WhereWineDiffersFromWindows)
{
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(100);
    port.Open();
    const winapi::Handle h = port.Handle();
    OVERLAPPED o{};
    o.hEvent = winapi::NewEvent(true, false);
    char buffer[4];
    winapi::U32 done = 0;
    // The error a pending read on the port ends with, `within` after `then` ran.
    const auto readEnds = [&](auto then, std::chrono::milliseconds within) -> winapi::U32 {
        winapi::ResetEvent(o.hEvent);
        if (winapi::ReadFile(h, buffer, sizeof buffer, &done, &o))
            return 0;
        then();
        const winapi::U32 waited = winapi::WaitForMultipleObjects(1, &o.hEvent, false, DWORD(within.count()));
        const winapi::U32 error = winapi::GetOverlappedResult(h, &o, &done, false) ? 0 : winapi::LastError();
        if (waited == kWaitTimeout) {
            winapi::CancelIoEx(h, &o);
            winapi::GetOverlappedResult(h, &o, &done, true);
        }
        return waited == kWaitTimeout ? kWaitTimeout : error;
    };
    const auto maskEndsWait = [&]() -> winapi::U32 {
        winapi::U32 mask = 0;
        winapi::ResetEvent(o.hEvent);
        winapi::SetCommMask(h, kEvRxChar);
        if (!winapi::WaitCommEvent(h, &mask, &o) && winapi::LastError() != kErrorIoPending)
            return winapi::LastError();
        winapi::SetCommMask(h, 0);
        return winapi::GetOverlappedResult(h, &o, &done, true) ? 0 : winapi::LastError();
    };
    TComPort second;
    second.SetPort("COM1");
    const auto secondOpen = [&]() -> winapi::U32 {
        try { second.Open(); } catch (const EComPort& e) { return winapi::U32(e.WinCode()); }
        second.Close();
        return 0;
    };
    struct Row {
        const char* difference;
        std::function<winapi::U32()> outcome;
        winapi::U32 windows, wine;
    };
    const Row rows[] = {
        {"a second open of a port: Windows refuses it, Wine grants it", secondOpen, 5, 0},
        {"a read whose time-outs end with nothing read: Windows completes it with 0 bytes, "
         "Wine fails it with ERROR_TIMEOUT", [&] { return readEnds([] {}, 2s); }, 0, winapi::kErrorTimeout},
        {"kPurgeRxAbort: Windows ends a pending read, Wine leaves it to its time-outs",
         [&] { port.Timeouts().SetReadTotalConstant(5000);
               return readEnds([&] { winapi::PurgeComm(h, kPurgeRxAbort); }, 500ms); },
         winapi::kErrorOperationAborted, kWaitTimeout},
        {"a new mask during a line-event wait: Windows completes the wait with no events, "
         "Wine fails it as aborted", maskEndsWait, 0, winapi::kErrorOperationAborted},
    };
    const bool wine = UnderWine();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.difference);
        EXPECT_EQ(row.outcome(), wine ? row.wine : row.windows);
    }
    winapi::CloseHandle(o.hEvent);
}
