// Work handed to the main thread: synchronous hand-overs and messages to hidden
// windows, with the waits that keep two threads from blocking each other.
#include "runtime/MainThread.h"

#include "runtime/ErrorHook.h"
#include "runtime/Exception.h"

#include "EventLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Runs `work` on a thread of its own while the main thread serves hand-overs and
// messages; returns its result.
template <typename F>
auto ServeWhile(F work)
{
    std::optional<decltype(work())> result;
    std::atomic<bool> finished{false};
    std::thread thread([&] {
        result = work();
        finished = true;
        WakeMainThread();
    });
    EXPECT_TRUE(ServeMainThreadUntil([&] { return finished.load(); }, Within(2000ms)));
    thread.join();
    return *result;
}

// Counts the wake-ups a GUI would get, and lets a test wait for them.
class WakeupCounter : public EventLog {
public:
    WakeupCounter() { SetMainThreadWakeup([this] { Add("wake"); }); }
    ~WakeupCounter() { SetMainThreadWakeup(nullptr); }
};

} // namespace

TEST(MainThread, HandOverRunsOnTheMainThreadAndTheCallerWaitsForItsOutcome)
{
    ASSERT_TRUE(IsMainThread());
    std::atomic<bool> ranOnMain{false};
    EXPECT_TRUE(ServeWhile([&] {
        EXPECT_FALSE(IsMainThread());
        return RunOnMainThread([&] { ranOnMain = IsMainThread(); });
    }));
    EXPECT_TRUE(ranOnMain);
    bool direct = false;
    EXPECT_TRUE(RunOnMainThread([&] { direct = true; }));  // on the main thread: at once
    EXPECT_TRUE(direct);
    // The hand-over's exception reaches the caller.
    EXPECT_EQ(ServeWhile([] {
                  try {
                      RunOnMainThread([] { throw EInvalidOperation("boom"); });
                  } catch (const EInvalidOperation& e) {
                      return std::string(e.what());
                  }
                  return std::string("nothing");
              }),
              "boom");
}

TEST(MainThread, WakeupTellsTheLoopAndProcessingRunsEverythingWaiting)
{
    WakeupCounter wakeups;
    std::vector<int> order;
    std::vector<std::future<void>> workers;
    for (int i = 0; i < 3; ++i) {
        workers.push_back(std::async(std::launch::async, [&order, i] {
            RunOnMainThread([&order, i] { order.push_back(i); });
        }));
        ASSERT_TRUE(wakeups.WaitFor(i + 1));  // queued before the next one starts
    }
    // What the GUI's queued call does: everything waiting runs, in queue order.
    EXPECT_EQ(ProcessMainThreadWork(), 3);
    for (auto& w : workers)
        EXPECT_EQ(w.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(wakeups.Size(), 3);
    EXPECT_EQ(ProcessMainThreadWork(), 0);
}

TEST(MainThread, SentMessageRepliedOnEntryReleasesTheSenderFirst)
{
    std::promise<void> senderBack;
    std::atomic<bool> wasInSend{false};
    std::atomic<bool> secondReply{true};
    std::atomic<std::uintptr_t> seen{0};
    const HWND window = AllocateHWnd([&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
        if (message != WM_USER + 1)
            return std::intptr_t{-1};
        wasInSend = InSendMessage();
        ReplyMessage(42);
        secondReply = ReplyMessage(43);
        seen = wParam;
        // The sender goes on while the procedure still runs.
        auto back = senderBack.get_future();
        EXPECT_EQ(back.wait_for(2s), std::future_status::ready);
        return std::intptr_t{7};
    });
    ASSERT_NE(window, 0u);
    EXPECT_EQ(ServeWhile([&] {
                  const std::intptr_t result = SendMessage(window, WM_USER + 1, 32, 0);
                  senderBack.set_value();
                  return result;
              }),
              42);
    EXPECT_TRUE(wasInSend);
    EXPECT_FALSE(secondReply);
    EXPECT_EQ(seen, 32u);
    // From the main thread itself the procedure runs at once and is no sent message.
    EXPECT_EQ(SendMessage(window, WM_USER + 2, 0, 0), -1);
    EXPECT_FALSE(InSendMessage());
    EXPECT_FALSE(ReplyMessage(1));
    // Without a reply the sender gets what the procedure returns.
    EXPECT_EQ(ServeWhile([&] { return SendMessage(window, WM_USER + 2, 0, 0); }), -1);
    DeallocateHWnd(window);
    EXPECT_EQ(SendMessage(window, WM_USER + 2, 0, 0), 0);
    EXPECT_EQ(DefWindowProc(window, 0x10, 1, 2), 0);
}

TEST(MainThread, ReleasingAWindowAnswersMessagesStillQueued)
{
    WakeupCounter wakeups;
    std::atomic<int> calls{0};
    const HWND window = AllocateHWnd([&](std::uint32_t, std::uintptr_t, std::intptr_t) {
        ++calls;
        return std::intptr_t{5};
    });
    auto sender = std::async(std::launch::async, [&] { return SendMessage(window, WM_USER, 0, 0); });
    ASSERT_TRUE(wakeups.WaitFor(1));
    DeallocateHWnd(window);
    ASSERT_EQ(sender.wait_for(2s), std::future_status::ready);  // not left waiting
    EXPECT_EQ(sender.get(), 0);
    EXPECT_EQ(ProcessMainThreadWork(), 0);
    EXPECT_EQ(calls, 0);
}

TEST(MainThread, CancelAbandonsAHandOverTheMainThreadIsRunning)
{
    // The hand-over's own call ends the waiting thread: without the cancel the two
    // threads would wait for each other.
    TMainThreadCancel cancel;
    std::atomic<bool> abandoned{false};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        abandoned = !RunOnMainThread(
            [&] {
                cancel.Cancel();
                ASSERT_TRUE(ServeMainThreadUntil([&] { return finished.load(); }, Within(2000ms)));
            },
            &cancel);
        finished = true;
        WakeMainThread();
    });
    ASSERT_TRUE(ServeMainThreadUntil([&] { return finished.load(); }, Within(2000ms)));
    worker.join();
    EXPECT_TRUE(abandoned);
}

TEST(MainThread, CancelOffTheMainThreadDropsWorkNotYetBegun)
{
    WakeupCounter wakeups;
    TMainThreadCancel cancel;
    std::atomic<bool> ran{false};
    auto worker = std::async(std::launch::async, [&] {
        return RunOnMainThread([&] { ran = true; }, &cancel);
    });
    ASSERT_TRUE(wakeups.WaitFor(1));
    std::thread([&] { cancel.Cancel(); }).join();
    ASSERT_EQ(worker.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(worker.get());
    EXPECT_EQ(ProcessMainThreadWork(), 0);
    EXPECT_FALSE(ran);
}

TEST(MainThread, ServingStopsAtTheDeadline)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ServeMainThreadUntil([] { return false; }, Within(20ms)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
}
