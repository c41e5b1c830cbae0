// The scripted device for what a pseudo-terminal cannot give: every kind of line event, in its
// order and on the thread SyncMethod chooses, modem lines, line errors and each refused call.
#include "runtime/ErrorHook.h"
#include "FakeComDevice.h"
#include "SerialTest.h"
#include <gmock/gmock.h>
#include "Platform.h"
#include <tuple>

using namespace comm;
using namespace wnd;

namespace {

// Logs the reports and every line-event handler of the port.
void LogAllHandlers(TCustomComPort& port, EventLog& log)
{
    using P = TCustomComPort;
    for (auto [set, name] : {std::pair{&P::SetOnTxEmpty, "TxEmpty"}, {&P::SetOnBreak, "Break"},
                             {&P::SetOnRing, "Ring"}, {&P::SetOnRxFlag, "RxFlag"},
                             {&P::SetOnRx80Full, "Rx80Full"}, {&P::SetOnBeforeOpen, "BeforeOpen"},
                             {&P::SetOnAfterOpen, "AfterOpen"}, {&P::SetOnBeforeClose, "BeforeClose"},
                             {&P::SetOnAfterClose, "AfterClose"}})
        (port.*set)([&log, name](TComponent*) { log.Add(name); });
    for (auto [set, name] :
         {std::pair{&P::SetOnCTSChange, "CTS"}, {&P::SetOnDSRChange, "DSR"}, {&P::SetOnRLSDChange, "RLSD"}})
        (port.*set)([&log, name](TComponent*, bool on) { log.Add(std::string(name) + (on ? "+" : "-")); });
    port.SetOnRxChar([&log](TComponent*, std::int32_t n) { log.Add("RxChar " + std::to_string(n)); });
    port.SetOnError([&log](TComponent*, TComErrors e) { log.Add("Error " + std::to_string(e.ToBits())); });
}

class ComEvents : public ::testing::Test {
protected:
    void Open(TSyncMethod method, TComEvents events = AllComEvents)
    {
        port.SetSyncMethod(method);
        port.SetEvents(events);
        port.Open();
        ASSERT_TRUE(events.Empty() || fake.WaitForCall("WaitCommEvent", 1));
        log.Clear();
    }
    void TearDown() override
    {
        port.Close();
        SetApplicationExceptionHandler(nullptr);
    }

    FakeComDevice fake;
    EventLog log;
    TComPort port{nullptr, &fake};
};

} // namespace

TEST_F(ComEvents, EveryEventReachesItsHandlerInTheFixedOrderOnTheThreadSyncMethodChooses)
{
    EXPECT_EQ(EventsToMask(AllComEvents), 0x5FFu);
    EXPECT_EQ(MaskToEvents(kEvRing | 0x200 | 0x800), TComEvents{evRing});  // unknown bits ignored
    LogAllHandlers(port, log);
    for (TSyncMethod method : {smNone, smThreadSync, smWindowSync}) {
        SCOPED_TRACE(static_cast<int>(method));
        log.Clear();
        fake.ModemStatus = kMsCtsOn | kMsRlsdOn;
        fake.InQueue = 0;
        port.SetSyncMethod(method);
        port.SetConnected(true);
        ASSERT_TRUE(port.Connected() && fake.WaitForCall("WaitCommEvent", 1));
        port.Open();  // a second time: nothing
        fake.ClearCalls();
        fake.PostCommEvent(kEvErr | kEvRxChar);  // no error and no byte waiting after all
        fake.PostCommEvent(kEvRing);
        ASSERT_TRUE(log.WaitFor(6));
        fake.CommErrors = kCeFrame | kCeRxParity;  // parity unchecked: not reported
        fake.InQueue = 2;
        fake.ModemStatus = kMsCtsOn;
        fake.PostCommEvent(EventsToMask(AllComEvents));
        ASSERT_TRUE(log.WaitFor(16));
        port.SetConnected(false);
        EXPECT_EQ(log.Entries(), (Names{"BeforeOpen", "AfterOpen", "CTS+", "DSR-", "RLSD+", "Ring", "Error 1",
                                        "RxChar 2", "TxEmpty", "Break", "Ring", "CTS+", "DSR-", "RxFlag",
                                        "RLSD-", "Rx80Full", "CTS-", "DSR-", "RLSD-", "BeforeClose",
                                        "AfterClose"}));
        std::vector<bool> onMain(21, true);
        std::fill(onMain.begin() + 5, onMain.begin() + 16, method != smNone);
        EXPECT_EQ(log.OnMain(), onMain);
        EXPECT_EQ(fake.Count("GetCommModemStatus"), 3);  // the close reports read no device
        EXPECT_EQ(fake.LiveEvents(), 0);
    }
}

TEST_F(ComEvents, FailingStepEndsTheThreadUnlessAMessageRanIt)
{
    Names shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    port.SetOnRing([](TComponent*) { throw EInvalidOperation("ring failed"); });
    port.SetOnTxEmpty([&](TComponent*) { log.Add("TxEmpty"); });
    for (TSyncMethod method : {smNone, smThreadSync, smWindowSync}) {
        SCOPED_TRACE(static_cast<int>(method));
        shown.clear();
        Open(method);
        fake.PostCommEvent(kEvRing);
        fake.PostCommEvent(kEvTxEmpty);
        const bool goesOn = method == smWindowSync;  // shown, and the thread waits again
        if (goesOn)  // the report wakes the main thread; the thread's next wait comes after it
            EXPECT_TRUE(log.WaitFor(1) && fake.WaitForCall("WaitCommEvent", 3));
        else
            EXPECT_FALSE(ServeMainThreadUntil([&] { return fake.Count("WaitCommEvent") >= 3; }, Within(100ms)));
        EXPECT_EQ(log.Entries(), goesOn ? Names{"TxEmpty"} : Names{});
        EXPECT_EQ(shown, goesOn ? Names{"ring failed"} : Names{});
        EXPECT_TRUE(port.Connected());
        fake.ClearCalls();
        port.Close();
        EXPECT_EQ(fake.Count("SetCommMask"), goesOn ? 1 : 0);  // an ended thread leaves the mask
    }
}

TEST_F(ComEvents, WaitThatFailsAtOnceDoesNotSpin)
{
    fake.Fail("WaitCommEvent", 5, 1);
    Open(smNone);
    EXPECT_FALSE(fake.WaitForCall("WaitCommEvent", 2, 50ms));
    EXPECT_EQ(fake.Last("WaitForMultipleObjects").B, 1u);  // the stop event alone
    port.Close();
    EXPECT_EQ(fake.Last("SetCommMask").A, 0u);  // it still ends as usual
}

// One unreadable result is skipped; results that keep failing end the line-event waits.
TEST_F(ComEvents, AnEventWhoseResultCannotBeReadIsNotReported)
{
    port.SetOnRing([&](TComponent*) { log.Add("Ring"); });
    Open(smNone);
    fake.Fail("GetOverlappedResult", 31, 1);
    fake.PostCommEvent(kEvRing);
    fake.PostCommEvent(kEvRing);
    ASSERT_TRUE(fake.WaitForCall("WaitCommEvent", 3));  // both taken: the thread waits again
    EXPECT_EQ(log.Entries(), Names{"Ring"});
    fake.Fail("GetOverlappedResult", 31);
    for (int i = 0; i < 3; ++i)
        fake.PostCommEvent(kEvRing);
    EXPECT_TRUE(fake.WaitForCall("WaitCommEvent", 4));
    EXPECT_FALSE(fake.WaitForCall("WaitCommEvent", 5, 50ms));
    EXPECT_EQ(fake.Last("WaitForMultipleObjects").B, 1u);  // the stop event alone
}

TEST_F(ComEvents, CloseDuringAHandOverEndsTheDispatchButNotFromTheEventThread)
{
    port.SetOnRing([&](TComponent* sender) {
        try { static_cast<TComPort*>(sender)->Close(); } catch (const EInvalidOperation&) { log.Add("refused"); }
    });
    port.SetOnRLSDChange([&](TComponent*, bool on) { log.Add(on ? "RLSD+" : "RLSD-"); });
    Open(smNone);
    fake.PostCommEvent(kEvRing);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_TRUE(port.Connected());
    port.Close();
    Open(smThreadSync);  // a handler on the main thread closes the port
    fake.ModemStatus = kMsRlsdOn;
    fake.PostCommEvent(kEvRing | kEvRlsd);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_FALSE(port.Connected() || port.ThreadCreated());
    EXPECT_EQ(log.Entries(), (Names{"RLSD-"}));  // the close's own report; the rest is dropped
}

TEST_F(ComEvents, TheThreadRunsAtThePortsPriorityAndCloseRunsTheReportWaitingForTheMainThread)
{
    std::string scheduling;  // written on the event thread before the log entry that is waited for
    port.SetOnRing([&](TComponent*) {
        scheduling = ThreadScheduling();
        log.Add("Ring");
    });
    for (int priority = cpIdle; priority <= cpTimeCritical; ++priority) {
        port.SetEventThreadPriority(TComThreadPriority(priority));
        Open(smNone);
        fake.PostCommEvent(kEvRing);
        ASSERT_TRUE(log.WaitFor(1, false));
        EXPECT_EQ(scheduling, EventThreadScheduling(priority));
        port.Close();
        log.Clear();
    }
    Open(smThreadSync);  // nobody serves the main thread until Close waits for the thread
    fake.ClearCalls();
    fake.PostCommEvent(kEvRing);
    ASSERT_TRUE(fake.WaitForCall("GetOverlappedResult", 1));  // taken: the thread hands it over
    EXPECT_TRUE(log.Entries().empty());
    port.Close();
    EXPECT_EQ(log.Entries(), Names{"Ring"});
    EXPECT_EQ(log.OnMain(), std::vector<bool>{true});
}

TEST_F(ComEvents, EachRefusedStepOfOpenLeavesThePortClosed)
{
    const std::tuple<const char*, int, const char*> cases[] = {
        {"OpenPort", 0, "Unable to open com port (win error code: 5)"},
        {"SetupComm", 0, "SetupComm function failed (win error code: 5)"},
        {"SetCommState", 0, "SetCommState function failed (win error code: 5)"},
        {"SetCommTimeouts", 0, "SetCommTimeouts failed (win error code: 5)"},
        {"NewEvent", 0, "Cannot start the event thread (error 5)"},
        {"NewEvent", 1, "Cannot start the event thread (error 5)"},
    };
    for (const auto& [call, after, message] : cases) {
        SCOPED_TRACE(testing::Message() << call << after);
        FakeComDevice device;
        TComPort p(nullptr, &device);
        EventLog reports;
        LogAllHandlers(p, reports);
        device.Fail(call, 5, -1, after);
        EXPECT_THAT([&] { p.Open(); }, testing::ThrowsMessage<Exception>(message));
        EXPECT_FALSE(p.Connected() || p.ThreadCreated() || p.Handle() != kInvalidHandle);
        EXPECT_EQ(reports.Entries(), (Names{"BeforeOpen"}));
        const bool opened = std::string(call) != "OpenPort";
        EXPECT_EQ(device.Last("CloseHandle").Handle, opened ? FakeComDevice::DeviceHandle : 0);
        EXPECT_EQ(device.LiveEvents(), 0);
    }
}

// A thread the system cannot start (here: no stack can be had) fails the open, and the port
// keeps neither its device nor an event.
TEST_F(ComEvents, AnEventThreadTheSystemCannotStartLeavesThePortClosed)
{
    if (!WithoutNewThreads([&] { EXPECT_ANY_THROW(port.Open()); }))
        GTEST_SKIP() << "threads cannot be refused here";
    EXPECT_FALSE(port.Connected() || port.ThreadCreated());
    EXPECT_EQ(fake.Last("CloseHandle").Handle, FakeComDevice::DeviceHandle);
    EXPECT_EQ(fake.LiveEvents(), 0);
}

// The hidden window of a port goes with its close: a message to it later, even once the
// port is open again, reaches no handler. Windows are numbered in order, so the port's
// first one lies between two taken just before and after it.
TEST_F(ComEvents, AClosedPortsWindowReachesNoHandler)
{
    port.SetOnRing([&](TComponent*) { log.Add("Ring"); });
    const auto probe = [] {
        const HWND window = AllocateHWnd([](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
        DeallocateHWnd(window);
        return window;
    };
    const HWND before = probe();
    Open(smWindowSync);
    port.Close();
    const HWND after = probe();
    ASSERT_GT(after, before + 1);
    Open(smWindowSync);
    for (HWND old = before + 1; old < after; ++old)
        Send(old, CM_COMPORT_EVENT, kEvRing, 0);
    EXPECT_EQ(log.Entries(), Names{});
}

// A destructor cannot raise: a failing close goes to the application's handler, and the
// port still takes its thread and device with it.
TEST_F(ComEvents, ACloseFailingAsThePortGoesIsShownAndTheDeviceStillReleased)
{
    Names shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    const std::pair<std::function<void(FakeComDevice&, TComPort&)>, const char*> failures[] = {
        {[](FakeComDevice& device, TComPort&) { device.Fail("PurgeComm", 22, 1); },
         "PurgeComm function failed (win error code: 22)"},
        {[](FakeComDevice&, TComPort& p) { p.SetOnBeforeClose([](TComponent*) { throw EInvalidOperation("busy"); }); },
         "busy"}};
    for (const auto& [fail, message] : failures) {
        shown.clear();
        FakeComDevice device;
        {
            TComPort p(nullptr, &device);
            p.SetSyncMethod(smNone);
            p.Open();
            ASSERT_TRUE(device.WaitForCall("WaitCommEvent", 1));
            fail(device, p);
        }
        EXPECT_EQ(shown, Names{message});
        EXPECT_EQ(device.Last("CloseHandle").Handle, FakeComDevice::DeviceHandle) << message;
        EXPECT_EQ(device.LiveEvents(), 0) << message;
    }
}

TEST_F(ComEvents, RefusedCallsOnAnOpenPortLeaveItOpen)
{
    fake.Fail("GetCommModemStatus", 19, 1);  // the line states after open
    EXPECT_EQ(Raised([&] { port.Open(); }), std::make_pair(CError_ModemStatFailed, 19));
    ASSERT_TRUE(port.Connected() && port.ThreadCreated());
    const std::tuple<const char*, std::function<void()>, int> refused[] = {
        {"SetupComm", [&] { port.Buffer().SetOutputSize(64); }, 9},
        {"SetupComm", [&] { port.Buffer().SetInputSize(64); }, 9},
        {"SetCommState", [&] { port.SetBaudRate(br115200); }, 7},
        {"SetCommTimeouts", [&] { port.Timeouts().SetReadInterval(5); }, 8},
        {"ClearCommError", [&] { port.ReceivedCount(); }, 10},
        {"ClearCommError", [&] { port.TakeLineErrors(); }, 10},
        {"PurgeComm", [&] { port.Close(); }, 5},
    };
    for (const auto& [call, action, code] : refused) {
        fake.Fail(call, 22, 1);
        EXPECT_EQ(Raised(action), std::make_pair(code, 22)) << call;
        EXPECT_TRUE(port.Connected());
    }
    EXPECT_EQ(std::make_pair(port.Buffer().OutputSize(), port.BaudRate()), std::make_pair(64, br115200));
    port.SetOnRing([&](TComponent*) { log.Add("Ring"); });  // the thread still reports
    fake.PostCommEvent(kEvRing);
    EXPECT_TRUE(log.WaitFor(1));
    // SyncMethod cannot change under a running thread.
    EXPECT_EQ(Raised([&] { port.SetSyncMethod(smWindowSync); }), std::make_pair(CError_ConnChangeProp, -1));
    EXPECT_NO_THROW(port.SetSyncMethod(smThreadSync));
    port.Close();

    Open(smNone, {});
    EXPECT_FALSE(port.ThreadCreated());  // no events, no thread
    port.Parity().SetCheck(true);  // a parity error counts only when checked
    fake.CommErrors = kCeRxOver | kCeOverrun | kCeRxParity | kCeBreak | kCeTxFull | kCeIoe | kCeMode | 0x200;
    EXPECT_EQ(port.TakeLineErrors(),
              (TComErrors{ceRxOver, ceOverrun, ceRxParity, ceBreak, ceTxFull, ceIO, ceMode}));
    EXPECT_TRUE(port.TakeLineErrors().Empty()) << "taken by the first call";
    fake.ModemStatus = kMsDsrOn | kMsRingOn;
    EXPECT_EQ(port.LineSignals(), (TComLineSignals{lsDSR, lsRing}));
}
