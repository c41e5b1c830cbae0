// Work handed to the main thread: synchronous hand-overs and messages to hidden
// windows, with the waits that keep two threads from blocking each other.
#include "runtime/Exception.h"

#include "SerialTest.h"

#include <atomic>
#include <future>
#include <optional>
#include <thread>

namespace {

// Runs `work` on a thread of its own while the main thread serves; returns its result.
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

// Records the wake-ups a GUI would get.
class Wakeups : public EventLog {
public:
    Wakeups() { SetMainThreadWakeup([this] { Add("wake"); }); }
    ~Wakeups() { SetMainThreadWakeup(nullptr); }
};

} // namespace

TEST(MainThread, HandOversRunOnTheMainThreadInQueueOrderAndRaiseInTheCaller)
{
    ASSERT_TRUE(IsMainThread());
    bool direct = false;
    EXPECT_TRUE(RunOnMainThread([&] { direct = IsMainThread(); }));  // on the main thread: at once
    EXPECT_TRUE(direct);
    Wakeups wakeups;
    std::vector<int> order;
    std::vector<std::future<bool>> workers;
    for (int i = 0; i < 3; ++i) {
        workers.push_back(std::async(std::launch::async, [&order, i] {
            return !IsMainThread() && RunOnMainThread([&order, i] { order.push_back(IsMainThread() ? i : -1); });
        }));
        ASSERT_TRUE(wakeups.WaitFor(i + 1, false));  // queued before the next one starts
    }
    EXPECT_EQ(ProcessMainThreadWork(), 3);  // what the GUI's queued call does
    for (auto& w : workers)
        EXPECT_TRUE(w.get());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ProcessMainThreadWork(), 0);
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

TEST(MainThread, SentMessageRepliedOnEntryReleasesTheSenderFirst)
{
    std::promise<void> senderBack;
    std::atomic<bool> wasInSend{false}, secondReply{true};
    std::atomic<std::uintptr_t> seen{0};
    const HWND window = AllocateHWnd([&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
        if (message != WM_USER + 1)
            return std::intptr_t{-1};
        wasInSend = InSendMessage();
        ReplyMessage(42);
        secondReply = ReplyMessage(43);
        seen = wParam;
        // The sender goes on while the procedure still runs.
        EXPECT_EQ(senderBack.get_future().wait_for(1s), std::future_status::ready);
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

TEST(MainThread, ReleasingAWindowAnswersOnlyItsOwnQueuedMessages)
{
    Wakeups wakeups;
    std::atomic<int> calls{0};
    auto proc = [&](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{++calls}; };
    const HWND released = AllocateHWnd(proc);
    const HWND kept = AllocateHWnd(proc);
    auto toKept = std::async(std::launch::async, [&] { return SendMessage(kept, WM_USER, 0, 0); });
    ASSERT_TRUE(wakeups.WaitFor(1, false));
    auto toReleased = std::async(std::launch::async, [&] { return SendMessage(released, WM_USER, 0, 0); });
    ASSERT_TRUE(wakeups.WaitFor(2, false));
    DeallocateHWnd(released);
    const bool answered = toReleased.wait_for(1s) == std::future_status::ready;  // not left waiting
    EXPECT_EQ(ProcessMainThreadWork(), 1);
    EXPECT_TRUE(answered);
    EXPECT_EQ(toReleased.get(), 0);
    EXPECT_EQ(toKept.get(), 1);
    DeallocateHWnd(kept);
}

TEST(MainThread, CancelAbandonsWorkTheMainThreadRunsOrOffTheMainThreadHasNotBegun)
{
    // The hand-over's own call ends the waiting thread: without the cancel the two
    // threads would wait for each other.
    TMainThreadCancel running;
    std::atomic<bool> finished{false};
    EXPECT_FALSE(ServeWhile([&] {
        const bool done = RunOnMainThread(
            [&] {
                running.Cancel();
                EXPECT_TRUE(ServeMainThreadUntil([&] { return finished.load(); }, Within(2000ms)));
            },
            &running);
        finished = true;
        WakeMainThread();
        return done;
    }));

    Wakeups wakeups;
    TMainThreadCancel queued;
    std::atomic<bool> ran{false};
    auto worker = std::async(std::launch::async, [&] { return RunOnMainThread([&] { ran = true; }, &queued); });
    ASSERT_TRUE(wakeups.WaitFor(1, false));
    std::thread([&] { queued.Cancel(); }).join();
    ASSERT_EQ(worker.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(worker.get());
    EXPECT_EQ(ProcessMainThreadWork(), 0);
    EXPECT_FALSE(ran);

    const auto start = std::chrono::steady_clock::now();  // serving ends at its deadline
    EXPECT_FALSE(ServeMainThreadUntil([] { return false; }, Within(20ms)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
}
