// The port on a real pseudo-terminal: the line the window's settings give, bytes
// written and received with the event thread running, and what Close keeps or drops.
#include "serial/CPort.h"

#include "EventLog.h"
#include "PtyPair.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <termios.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The main window's port: its stored settings, then br600 as the upload sets it.
void UseWindowSettings(TCustomComPort& port, const std::string& path)
{
    port.SetPort(path);
    port.SetEvents({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full});
    port.SetSyncMethod(smNone);
    port.SetBaudRate(br600);
}

// Logs each count as "#n" and each handed-over buffer as ">bytes".
void Listen(TCustomComPort& port, EventLog& log)
{
    port.SetOnRxChar([&log](TComponent*, std::int32_t count) { log.Add("#" + std::to_string(count)); });
    port.SetOnRxBuf([&log](TComponent*, const void* b, std::int32_t n) {
        log.Add(">" + std::string(static_cast<const char*>(b), static_cast<size_t>(n)));
    });
}

bool LastCountIs(const Names& entries, size_t count)
{
    return !entries.empty() && entries.back() == "#" + std::to_string(count);
}

std::string BytesOf(const Names& entries)
{
    std::string bytes;
    for (const std::string& e : entries)
        if (e[0] == '>')
            bytes += e.substr(1);
    return bytes;
}

} // namespace

TEST(ComPortPty, WindowSettingsGiveTheLineAndAnEventThread)
{
    PtyPair pty;
    TComPort port;
    UseWindowSettings(port, pty.Path());
    port.Open();
    EXPECT_TRUE(port.ThreadCreated());
    const PtyLine line = pty.Line();
    EXPECT_EQ(line.OutputSpeed, 600u);
    EXPECT_EQ(line.InputSpeed, 600u);
    const tcflag_t c = line.Attributes.c_cflag;
    EXPECT_EQ(c & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(c & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.Attributes.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(line.Attributes.c_oflag & OPOST, 0u);  // raw: bytes go out as they are
    port.SetStopBits(sbTwoStopBits);  // applied at once on the open port
    EXPECT_NE(pty.Line().Attributes.c_cflag & CSTOPB, 0u);
    port.Close();
}

TEST(ComPortPty, ClosingRightAfterTheLastWriteLosesNothing)
{
    PtyPair pty;
    PtyReader reader(pty.Master());
    TComPort port;
    UseWindowSettings(port, pty.Path());
    port.Open();
    std::string sent;
    for (int i = 0; i < 200; ++i) {
        const char byte = static_cast<char>(i * 7 + 3);
        ASSERT_EQ(port.Write(&byte, 1), 1);
        sent += byte;
    }
    port.Close();
    ASSERT_TRUE(reader.WaitFor(sent.size(), 2000ms));
    EXPECT_EQ(reader.Bytes(), sent);
}

TEST(ComPortPty, ReceivedBytesReachTheHandlerReportRxCountChoosesOnTheThreadSyncMethodChooses)
{
    struct Case {
        TSyncMethod method;
        bool reportCount;
        bool onMain;
    };
    const std::string burst("\x00\xff\r\n\x11\x13 data", 10);
    for (const Case c : {Case{smNone, true, false}, Case{smThreadSync, true, true},
                         Case{smWindowSync, true, true}, Case{smNone, false, false},
                         Case{smThreadSync, false, true}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.method) << " " << c.reportCount);
        PtyPair pty;
        TComPort port;
        port.SetPort(pty.Path());
        port.SetSyncMethod(c.method);
        port.SetEvents({evRxChar});
        port.SetReportRxCount(c.reportCount);
        EventLog log;
        Listen(port, log);
        port.Open();
        pty.Send(burst);
        ASSERT_TRUE(log.ServeUntil([&](const Names& e) {
            return LastCountIs(e, burst.size()) || BytesOf(e).size() >= burst.size();
        }));
        std::string read(16, '\0');
        const int got = c.reportCount ? port.Read(read.data(), 16) : 0;
        port.Close();  // the thread has ended: the records are ours to read
        EXPECT_EQ(log.OnMain().front(), c.onMain);
        if (c.reportCount) {
            EXPECT_EQ(read.substr(0, got), burst);  // the count left the bytes in the driver
            EXPECT_EQ(BytesOf(log.Entries()), "");
        } else {
            const Names entries = log.Entries();
            EXPECT_EQ(BytesOf(entries), burst);
            EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e[0] == '#'; }), 0);
        }
    }
}

TEST(ComPortPty, ClosingDiscardsInputNobodyRead)
{
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Path());
    port.SetSyncMethod(smNone);
    EventLog log;
    Listen(port, log);
    port.Open();
    pty.Send("stale");
    ASSERT_TRUE(log.ServeUntil([](const Names& e) { return LastCountIs(e, 5); }));
    port.Close();
    port.SetEvents({});
    port.Open();
    EXPECT_EQ(port.ReceivedCount(), 0);
    port.Close();
}

TEST(ComPortPty, NoEventsNoThreadAndWritesStillWork)
{
    PtyPair pty;
    PtyReader reader(pty.Master());
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents({});
    port.SetSyncMethod(smWindowSync);
    port.Open();
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_EQ(port.Write("abc", 3), 3);
    port.Close();
    ASSERT_TRUE(reader.WaitFor(3, 2000ms));
    EXPECT_EQ(reader.Bytes(), "abc");
}

TEST(ComPortPty, SecondPortOnTheSameDeviceCannotOpen)
{
    PtyPair pty;
    TComPort first;
    first.SetPort(pty.Path());
    first.Open();
    TComPort second;
    second.SetPort(pty.Path());
    try {
        second.Open();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), CError_OpenFailed);
        EXPECT_GT(e.WinCode(), 0);
    }
    EXPECT_FALSE(second.Connected());
    first.Close();
    second.Open();  // free again once closed
    EXPECT_TRUE(second.Connected());
}

TEST(ComPortPty, ClosingWhileEventsKeepComingNeverHangs)
{
    PtyPair pty;
    for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
        SCOPED_TRACE(static_cast<int>(method));
        TComPort port;
        port.SetPort(pty.Path());
        port.SetSyncMethod(method);
        port.SetReportRxCount(false);  // the handler drains what arrives
        std::atomic<int> calls{0};
        port.SetOnRxBuf([&](TComponent*, const void*, std::int32_t) {
            ++calls;
            WakeMainThread();
        });
        for (int round = 0; round < 5; ++round) {
            const int before = calls;
            port.Open();
            // Single bytes, fewer than the line discipline holds: the sender never blocks.
            std::thread sender([&] {
                for (int i = 0; i < 500; ++i)
                    pty.Send("x");
            });
            const bool reported = ServeMainThreadUntil([&] { return calls > before; }, Within(2000ms));
            port.Close();  // while bytes still arrive
            sender.join();
            ASSERT_TRUE(reported);
        }
    }
}
