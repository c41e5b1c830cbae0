// Work handed to the main thread: synchronous hand-overs and messages to hidden
// windows, with the waits that keep two threads from blocking each other.
#include "EventLog.h"
#include <gtest/gtest.h>
#include <atomic>
#include <future>
#include <thread>

using namespace wnd;

namespace {

// Runs `work` on a thread of its own while the main thread serves; returns its result.
template <typename F>
auto ServeWhile(F work)
{
    std::atomic<bool> finished{false};
    auto result = std::async(std::launch::async, [&] {
        auto value = work();
        finished = true;
        WakeMainThread();
        return value;
    });
    EXPECT_TRUE(ServeMainThreadUntil([&] { return finished.load(); }, Within(2000ms)));
    return result.get();
}

// Records the wake-ups a GUI would get.
class Wakeups : public EventLog {
public:
    Wakeups() { SetMainThreadWakeup([this] { Add("wake"); }); }
    ~Wakeups() { SetMainThreadWakeup(nullptr); }
};

} // namespace

TEST(MainThread, HandOversRunOnTheMainThreadInQueueOrder)
{
    ASSERT_TRUE(IsMainThread());
    Wakeups wakeups;
    std::vector<int> order;
    EXPECT_TRUE(RunOnMainThread([&order] { order.push_back(9); }));  // on the main thread: at once
    std::vector<std::future<bool>> workers;
    for (int i = 0; i < 3; ++i) {
        workers.push_back(std::async(std::launch::async, [&order, i] {
            return RunOnMainThread([&order, i] { order.push_back(IsMainThread() ? i : -1); });
        }));
        ASSERT_TRUE(wakeups.WaitFor(i + 1, false));  // queued before the next one starts
    }
    EXPECT_EQ(ProcessMainThreadWork(), 3);  // what the GUI's queued call does
    for (auto& w : workers)
        EXPECT_TRUE(w.get());
    EXPECT_EQ(order, (std::vector<int>{9, 0, 1, 2}));
    EXPECT_EQ(ProcessMainThreadWork(), 0);
}

// At the deadline `done()` is asked once more, holding nothing another thread needs: one
// that wakes the main thread meanwhile is not held up.
TEST(MainThread, TheLastLookAtTheDeadlineBlocksNoOtherThread)
{
    std::future<void> waker;
    int looks = 0;
    EXPECT_TRUE(ServeMainThreadUntil([&] {
        if (++looks == 1)
            return false;
        waker = std::async(std::launch::async, [] { WakeMainThread(); });
        return waker.wait_for(1s) == std::future_status::ready;
    }, Within(10ms)));
}

TEST(MainThread, SentMessageRepliedOnEntryReleasesTheSenderFirst)
{
    std::promise<void> senderBack;
    std::atomic<bool> wasInSend{false}, secondReply{true};
    const HWND window = AllocateHWnd([&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        if (message != kWmUser + 1)
            return std::intptr_t{-1};
        wasInSend = InSendMessage() && wParam == 32 && lParam == 5;
        ReplyMessage(42);
        secondReply = ReplyMessage(43);
        // The sender goes on while the procedure still runs.
        EXPECT_EQ(senderBack.get_future().wait_for(1s), std::future_status::ready);
        return std::intptr_t{7};
    });
    ASSERT_NE(window, 0u);
    EXPECT_EQ(ServeWhile([&] {
        const std::intptr_t result = Send(window, kWmUser + 1, 32, 5);
        senderBack.set_value();
        return result;
    }), 42);
    EXPECT_TRUE(wasInSend && !secondReply);
    EXPECT_FALSE(ReplyMessage(1));  // not in a sent message
    // Without a reply the sender gets what the procedure returns.
    EXPECT_EQ(ServeWhile([&] { return Send(window, kWmUser + 2, 0, 0); }), -1);
    DeallocateHWnd(window);
    EXPECT_EQ(Send(window, kWmUser + 2, 0, 0), 0);
}

TEST(MainThread, ReleasingAWindowAnswersOnlyItsOwnQueuedMessages)
{
    Wakeups wakeups;
    std::atomic<int> calls{0};
    auto proc = [&](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{++calls}; };
    const HWND released = AllocateHWnd(proc);
    const HWND kept = AllocateHWnd(proc);
    auto toKept = std::async(std::launch::async, [&] { return Send(kept, kWmUser, 0, 0); });
    ASSERT_TRUE(wakeups.WaitFor(1, false));
    auto toReleased = std::async(std::launch::async, [&] { return Send(released, kWmUser, 0, 0); });
    ASSERT_TRUE(wakeups.WaitFor(2, false));
    DeallocateHWnd(released);
    const bool answered = toReleased.wait_for(1s) == std::future_status::ready;  // not left waiting
    EXPECT_EQ(ProcessMainThreadWork(), 1);
    EXPECT_TRUE(answered);
    EXPECT_EQ(toReleased.get(), 0);
    EXPECT_EQ(toKept.get(), 1);
    DeallocateHWnd(kept);
}

TEST(MainThread, CancelAbandonsAHandOverTheMainThreadIsRunning)
{
    // The hand-over's own call ends the waiting thread: without the cancel the two
    // threads would wait for each other.
    TMainThreadCancel running;
    std::atomic<bool> finished{false};
    EXPECT_FALSE(ServeWhile([&] {
        const bool done = RunOnMainThread([&] {
            running.Cancel();
            EXPECT_TRUE(ServeMainThreadUntil([&] { return finished.load(); }, Within(2000ms)));
        }, &running);
        finished = true;
        WakeMainThread();
        return done;
    }));
}

TEST(MainThread, AHandOverCancelledBeforeItStartsIsDroppedOnlyWhenCancelledOffTheMainThread)
{
    // Cancelled off the main thread (the port's owner going), the call must never run
    // later; cancelled on it (Close waiting for the thread), it still runs there.
    Wakeups wakeups;
    for (bool onMain : {false, true}) {
        SCOPED_TRACE(onMain);
        wakeups.Clear();
        TMainThreadCancel cancel;
        std::atomic<int> ran{0};
        auto waiter = std::async(std::launch::async, [&] { return RunOnMainThread([&] { ++ran; }, &cancel); });
        ASSERT_TRUE(wakeups.WaitFor(1, false));
        if (onMain)
            cancel.Cancel();
        else
            std::thread([&] { cancel.Cancel(); }).join();
        EXPECT_TRUE(onMain || waiter.wait_for(1s) == std::future_status::ready);  // not left waiting
        EXPECT_EQ(ProcessMainThreadWork(), onMain ? 1 : 0);
        EXPECT_EQ(std::make_pair(waiter.get(), ran.load()), std::make_pair(onMain, onMain ? 1 : 0));
    }
}
