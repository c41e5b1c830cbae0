// The event thread on the scripted device: which handlers a detected event reaches,
// in which order and on which thread, and how failures end or spare the thread.
#include "serial/CPort.h"

#include "runtime/ErrorHook.h"

#include "EventLog.h"
#include "FakeComDevice.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Logs every line-event handler of the port.
void LogAllHandlers(TCustomComPort& port, EventLog& log)
{
    auto plain = [&log](const char* name) { return [&log, name](TComponent*) { log.Add(name); }; };
    auto signal = [&log](const char* name) {
        return [&log, name](TComponent*, bool on) { log.Add(std::string(name) + (on ? "+" : "-")); };
    };
    port.SetOnRxChar([&log](TComponent*, std::int32_t count) { log.Add("RxChar " + std::to_string(count)); });
    port.SetOnRxBuf([&log](TComponent*, const void* buffer, std::int32_t count) {
        log.Add("RxBuf " + std::string(static_cast<const char*>(buffer), count));
    });
    port.SetOnError([&log](TComponent*, TComErrors errors) { log.Add("Error " + std::to_string(errors.ToBits())); });
    port.SetOnTxEmpty(plain("TxEmpty"));
    port.SetOnBreak(plain("Break"));
    port.SetOnRing(plain("Ring"));
    port.SetOnRxFlag(plain("RxFlag"));
    port.SetOnRx80Full(plain("Rx80Full"));
    port.SetOnCTSChange(signal("CTS"));
    port.SetOnDSRChange(signal("DSR"));
    port.SetOnRLSDChange(signal("RLSD"));
}

class ComEvents : public ::testing::Test {
protected:
    void OpenWith(TSyncMethod method, TComEvents events = AllComEvents)
    {
        port.SetSyncMethod(method);
        port.SetEvents(events);
        port.Open();
        if (!events.Empty()) {
            ASSERT_TRUE(fake.WaitForCall("WaitCommEvent", 1));
        }
        log.Clear();  // the after-open report
    }
    void TearDown() override
    {
        port.Close();
        SetApplicationExceptionHandler(nullptr);
    }
    // The thread has handled the posted events once it waits again.
    bool WaitedAgain(int waits) { return fake.WaitForCall("WaitCommEvent", waits); }

    FakeComDevice fake;
    EventLog log;  // outlives the port's handlers
    TComPort port{nullptr, &fake};
};

} // namespace

TEST(ComEventMask, EventsAndMaskBitsMapBothWays)
{
    EXPECT_EQ(EventsToMask(AllComEvents), 0x5FFu);
    EXPECT_EQ(EventsToMask({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full}), 0x5E7u);
    EXPECT_EQ(EventsToMask({evTxEmpty, evRxFlag}), EV_TXEMPTY | EV_RXFLAG);
    EXPECT_EQ(MaskToEvents(0x5FF), AllComEvents);
    EXPECT_EQ(MaskToEvents(EV_RING | 0x200 | 0x800), TComEvents{evRing});  // unknown bits ignored
    for (int bit = 0; bit < 10; ++bit) {
        const TComEvents one = TComEvents::FromBits(static_cast<std::uint16_t>(1u << bit));
        EXPECT_EQ(MaskToEvents(EventsToMask(one)), one);
    }
}

TEST_F(ComEvents, OneWaitWithEveryEventRunsTheStepsInTheirOrderOnTheEventThread)
{
    LogAllHandlers(port, log);
    OpenWith(smNone);
    fake.SetCommErrors(CE_FRAME | CE_RXPARITY);  // parity not checked: not reported
    fake.SetInQueue(2);
    fake.SetModemStatus(MS_CTS_ON);
    fake.PostCommEvent(EventsToMask(AllComEvents));
    ASSERT_TRUE(log.WaitFor(10));
    EXPECT_EQ(log.Entries(), (Names{"Error 1", "RxChar 2", "TxEmpty", "Break", "Ring", "CTS+", "DSR-",
                                    "RxFlag", "RLSD-", "Rx80Full"}));
    EXPECT_EQ(log.OnMain(), std::vector<bool>(10, false));
}

TEST_F(ComEvents, NothingPendingReachesNoHandlerAndUnhandledBytesStay)
{
    LogAllHandlers(port, log);
    OpenWith(smNone);
    fake.PostCommEvent(EV_ERR | EV_RXCHAR);  // no error and no byte waiting after all
    ASSERT_TRUE(WaitedAgain(2));
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_EQ(fake.Count("ClearCommError"), 2);

    TComPort bare(nullptr, &fake);  // the window's case: no handler at all
    port.Close();
    bare.SetSyncMethod(smNone);
    bare.Open();
    fake.QueueInput("xy");
    fake.ClearCalls();
    fake.PostCommEvent(EV_RXCHAR);
    ASSERT_TRUE(WaitedAgain(1));
    EXPECT_EQ(fake.Count("ReadFile"), 0);
}

TEST_F(ComEvents, ThreadSyncRunsHandlersOnTheMainThreadWhileTheEventThreadWaits)
{
    std::atomic<int> waitsDuringHandler{-1};
    port.SetOnRing([&](TComponent*) {
        waitsDuringHandler = fake.Count("WaitCommEvent");
        log.Add("Ring");
    });
    port.SetOnRLSDChange([&](TComponent*, bool on) { log.Add(on ? "RLSD+" : "RLSD-"); });
    OpenWith(smThreadSync);
    fake.SetModemStatus(MS_RLSD_ON);
    fake.PostCommEvent(EV_RING | EV_RLSD);
    ASSERT_TRUE(log.ServeUntil(2));
    EXPECT_EQ(log.Entries(), (Names{"Ring", "RLSD+"}));
    EXPECT_EQ(log.OnMain(), (std::vector<bool>{true, true}));
    EXPECT_EQ(waitsDuringHandler, 1);  // no new wait before the hand-over returned
}

TEST_F(ComEvents, WindowSyncSendsOneMessageAnEventAndRunsTheStepsOnTheMainThread)
{
    LogAllHandlers(port, log);
    OpenWith(smWindowSync);
    fake.PostCommEvent(EV_RING);
    ASSERT_TRUE(log.ServeUntil(1));
    fake.SetModemStatus(MS_RLSD_ON);
    fake.PostCommEvent(EV_RLSD | EV_TXEMPTY);
    ASSERT_TRUE(log.ServeUntil(3));
    EXPECT_EQ(log.Entries(), (Names{"Ring", "TxEmpty", "RLSD+"}));
    EXPECT_EQ(log.OnMain(), (std::vector<bool>{true, true, true}));
}

TEST_F(ComEvents, PortMessagesRunTheStepOfTheirParameterOnly)
{
    LogAllHandlers(port, log);
    OpenWith(smWindowSync, {});
    fake.SetModemStatus(MS_RLSD_ON | MS_DSR_ON);
    fake.ClearCalls();
    EXPECT_EQ(port.HandlePortMessage(CM_COMPORT_EVENT, 512, 0), 0);
    EXPECT_EQ(port.HandlePortMessage(CM_COMPORT_EVENT, 0, 0), 0);
    EXPECT_EQ(port.HandlePortMessage(CM_COMPORT_EVENT, 3, 0), 0);
    EXPECT_EQ(port.HandlePortMessage(0x10, 32, 0), 0);  // not the port's message
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_TRUE(fake.Calls().empty());
    const std::pair<std::uintptr_t, const char*> steps[] = {
        {1, "RxChar"}, {2, "RxFlag"}, {4, "TxEmpty"}, {8, "CTS-"}, {16, "DSR+"}, {32, "RLSD+"},
        {64, "Break"}, {128, "Error"}, {256, "Ring"}, {1024, "Rx80Full"}};
    fake.SetInQueue(1);
    fake.SetCommErrors(CE_BREAK);
    for (auto [wParam, name] : steps) {
        log.Clear();
        port.HandlePortMessage(CM_COMPORT_EVENT, wParam, 0);
        ASSERT_EQ(log.Size(), 1u) << wParam;
        EXPECT_EQ(log.Entries()[0].substr(0, std::string(name).size()), name);
        fake.SetCommErrors(CE_BREAK);
    }
    port.Close();
    log.Clear();
    port.HandlePortMessage(CM_COMPORT_EVENT, 256, 0);  // arrives after the close: dropped
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(ComEvents, FailingStepWithoutSyncEndsTheThreadButNotThePort)
{
    port.SetOnRing([](TComponent*) { throw EInvalidOperation("handler failed"); });
    port.SetOnTxEmpty([&](TComponent*) { log.Add("TxEmpty"); });
    OpenWith(smNone);
    fake.PostCommEvent(EV_RING);
    fake.PostCommEvent(EV_TXEMPTY);
    EXPECT_FALSE(fake.WaitForCall("WaitCommEvent", 2, 100ms));  // the thread is gone
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Write("z", 1), 1);
    fake.ClearCalls();
    port.Close();
    EXPECT_EQ(fake.Count("SetCommMask"), 0);  // ended without clearing the mask or purging
    EXPECT_EQ(fake.Count("PurgeComm"), 1);
    EXPECT_EQ(fake.LiveEvents(), 0);
}

TEST_F(ComEvents, FailingStepOnTheMainThreadIsRaisedAgainInTheEventThread)
{
    port.SetOnRing([](TComponent*) { throw EInvalidOperation("handler failed"); });
    std::vector<std::string> shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    OpenWith(smThreadSync);
    fake.PostCommEvent(EV_RING);
    fake.PostCommEvent(EV_RING);
    EXPECT_FALSE(ServeMainThreadUntil([&] { return fake.Count("WaitCommEvent") >= 2; }, Within(100ms)));
    EXPECT_TRUE(shown.empty());  // it went to the event thread, not to the handler
    fake.ClearCalls();
    port.Close();
    EXPECT_EQ(fake.Count("SetCommMask"), 0);
}

TEST_F(ComEvents, FailingStepOfAMessageIsShownAndTheThreadGoesOn)
{
    std::vector<std::string> shown;
    SetApplicationExceptionHandler([&](const std::exception& e) {
        shown.push_back(e.what());
        log.Add("shown");
    });
    port.SetOnRing([](TComponent*) { throw EInvalidOperation("ring failed"); });
    port.SetOnTxEmpty([&](TComponent*) { log.Add("TxEmpty"); });
    OpenWith(smWindowSync);
    fake.PostCommEvent(EV_RING);
    fake.PostCommEvent(EV_TXEMPTY);
    ASSERT_TRUE(log.ServeUntil(2));
    EXPECT_EQ(log.Entries(), (Names{"shown", "TxEmpty"}));
    EXPECT_EQ(shown, (Names{"ring failed"}));
}

TEST_F(ComEvents, WaitThatFailsAtOnceDoesNotSpin)
{
    fake.Fail("WaitCommEvent", 5);
    port.SetSyncMethod(smNone);
    port.Open();
    ASSERT_TRUE(fake.WaitForCall("WaitForMultipleObjects", 1));
    EXPECT_FALSE(fake.WaitForCall("WaitCommEvent", 2, 100ms));
    EXPECT_EQ(fake.Count("WaitForMultipleObjects"), 1);
    EXPECT_EQ(fake.Last("WaitForMultipleObjects").B, 1u);  // the stop event alone
    fake.ClearCalls();
    port.Close();  // it still stops and ends as usual
    EXPECT_EQ(fake.Last("SetCommMask").A, 0u);
    EXPECT_EQ(fake.Last("PurgeComm").A, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

TEST_F(ComEvents, FailedResultDispatchesNothingAndTheNextWaitBegins)
{
    port.SetOnRing([&](TComponent*) { log.Add("Ring"); });
    OpenWith(smNone);
    fake.Fail("GetOverlappedResult", 5, 1);
    fake.PostCommEvent(EV_RING);
    ASSERT_TRUE(WaitedAgain(2));
    EXPECT_TRUE(log.Entries().empty());
    fake.PostCommEvent(EV_RING);
    ASSERT_TRUE(log.WaitFor(1));
}

TEST_F(ComEvents, StopWinsOverALineEventThatCameWithIt)
{
    EventLog wakeups;
    SetMainThreadWakeup([&] { wakeups.Add("wake"); });
    port.SetOnTxEmpty([&](TComponent*) { log.Add("TxEmpty"); });
    port.SetOnRing([&](TComponent*) { log.Add("Ring"); });
    OpenWith(smThreadSync);
    fake.PostCommEvent(EV_TXEMPTY);
    // The hand-over waits for the main thread; meanwhile a ring comes and Close stops.
    const bool handedOver = wakeups.WaitFor(1);  // waits without running the hand-over
    SetMainThreadWakeup(nullptr);
    ASSERT_TRUE(handedOver);
    fake.PostCommEvent(EV_RING);
    port.Close();
    EXPECT_EQ(log.Entries(), (Names{"TxEmpty"}));
}

TEST_F(ComEvents, HandlerMayCloseThePortFromTheMainThread)
{
    EventLog closes;
    port.SetOnAfterClose([&](TComponent*) { closes.Add("AfterClose"); });
    port.SetOnRing([&](TComponent* sender) { static_cast<TComPort*>(sender)->Close(); });
    port.SetOnRLSDChange([&](TComponent*, bool on) { log.Add(on ? "RLSD+" : "RLSD-"); });
    OpenWith(smThreadSync);
    fake.SetModemStatus(MS_RLSD_ON);
    fake.PostCommEvent(EV_RING | EV_RLSD);
    ASSERT_TRUE(closes.ServeUntil(1));
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_EQ(log.Entries(), (Names{"RLSD-"}));  // the close report; the rest of the dispatch is dropped
    EXPECT_EQ(closes.Size(), 1u);
}

TEST_F(ComEvents, HandlerOnTheEventThreadCannotClose)
{
    std::string refused;
    port.SetOnRing([&](TComponent* sender) {
        try {
            static_cast<TComPort*>(sender)->Close();
        } catch (const EInvalidOperation& e) {
            refused = e.what();
        }
        log.Add("Ring");
    });
    OpenWith(smNone);
    fake.PostCommEvent(EV_RING);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_FALSE(refused.empty());
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComEvents, EventThreadTakesThePortsPriority)
{
    std::atomic<int> policy{-1};
    std::atomic<int> nice{-100};
    port.SetOnRing([&](TComponent*) {
        policy = sched_getscheduler(0);
        nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        log.Add("Ring");
    });
    port.SetEventThreadPriority(cpIdle);
    OpenWith(smNone);
    fake.PostCommEvent(EV_RING);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_EQ(policy, SCHED_IDLE);
    port.Close();
    port.SetEventThreadPriority(cpLowest);
    OpenWith(smNone);
    fake.PostCommEvent(EV_RING);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_EQ(policy, SCHED_OTHER);
    EXPECT_EQ(nice, 10);
}
