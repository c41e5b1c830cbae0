// The port of the system device layer on a real pseudo-terminal: the line its settings
// give, bytes written and received, time-outs, aborts and hang-ups, the event thread
// with each SyncMethod, and what Close keeps or drops.
#include "serial/posix/PortName.h"
#include "serial/posix/PosixComDevice.h"
#include "runtime/ErrorHook.h"
#include "runtime/IniFile.h"
#include "TempDir.h"
#include "PtyPortTest.h"
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace comm;

namespace {

using Clock = std::chrono::steady_clock;

auto Since(Clock::time_point t) { return std::chrono::floor<std::chrono::milliseconds>(Clock::now() - t); }

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// Waits (bounded) until the port holds `count` received bytes: the kernel hands them on
// by itself, with nothing to wait on, so the count is looked at every millisecond.
bool Arrived(TComPort& port, std::size_t count)
{
    for (const auto deadline = Within(1000ms); Clock::now() < deadline; std::this_thread::sleep_for(1ms))
        if (static_cast<std::size_t>(port.ReceivedCount()) >= count)
            return true;
    return false;
}

// Waits (bounded) until every other thread of the process sleeps, as one waiting for the
// line does; looked at every millisecond, as nothing tells when it starts to.
bool OthersAsleep()
{
    const std::string self = std::to_string(gettid());
    for (const auto deadline = Within(1000ms); Clock::now() < deadline; std::this_thread::sleep_for(1ms)) {
        bool asleep = true;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            std::string stat;
            std::getline(std::ifstream(task.path() / "stat"), stat);
            const std::size_t end = stat.rfind(')');  // the state follows the command name
            asleep = asleep && (task.path().filename() == self || (end != stat.npos && stat[end + 2] == 'S'));
        }
        if (asleep)
            return true;
    }
    return false;
}

} // namespace

// The kernel's BOTHER: the exact rate is in the speed fields.
constexpr tcflag_t kOtherRate = CBAUDEX;

TEST_F(PtyPortTest, AnOpenLineCarriesBytesAsTheyAre)
{
    port.SetBaudRate(br600);
    port.Open();
    const termios raw = pty.Line().Attributes;
    EXPECT_EQ(raw.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), CS8 | CLOCAL | CREAD);
    EXPECT_EQ((raw.c_iflag & (IXON | IXOFF | INPCK | ICRNL | INLCR | IGNCR | ISTRIP)) |
                  (raw.c_oflag & OPOST) | (raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)), 0u);
}

// A standard rate by its own code, as a peer reading plain termios needs it.
TEST_F(PtyPortTest, EachRateReachesTheLineExactlyAndAStandardOneByItsCode)
{
    port.Open();
    const tcflag_t other = kOtherRate;
    const std::pair<unsigned, tcflag_t> rates[] = {
        {31250, other}, {110, B110},     {300, B300},       {600, B600},     {1200, B1200},   {2400, B2400},
        {4800, B4800},  {9600, B9600},   {14400, other},    {19200, B19200}, {38400, B38400}, {56000, other},
        {57600, B57600}, {115200, B115200}, {128000, other}, {256000, other}};
    port.SetCustomBaudRate(31250);
    for (int rate = brCustom; rate <= br256000; ++rate) {
        port.SetBaudRate(TBaudRate(rate));
        const PtyLine line = pty.Line();
        const auto [bits, code] = rates[rate];
        EXPECT_EQ(std::make_tuple(line.InputSpeed, line.OutputSpeed, line.Attributes.c_cflag & CBAUD),
                  std::make_tuple(bits, bits, code)) << bits;
    }
}

TEST_F(PtyPortTest, ACustomRateWithACodeOfItsOwnGetsThatCode)
{
    port.SetBaudRate(brCustom);
    port.Open();
    const tcflag_t other = kOtherRate;
    for (auto [bits, code] : {std::pair{50, B50}, {75, B75}, {134, B134}, {150, B150}, {200, B200}, {1800, B1800},
                              {230400, B230400}, {460800, B460800}, {921600, B921600}, {31250, other}}) {
        port.SetCustomBaudRate(bits);
        EXPECT_EQ(pty.Line().Attributes.c_cflag & CBAUD, code) << bits;
    }
}

// A pseudo-terminal forces CS8 and clears PARENB; the other framing bits stay as set.
TEST_F(PtyPortTest, EachFramingAndFlowChangeReachesTheLineAtOnce)
{
    port.Open();
    TComParity odd;
    odd.SetBits(prOdd);
    TComFlowControl& flow = port.FlowControl();
    struct Case {
        std::function<void()> change;
        tcflag_t cflag, iflag;
        cc_t start, stop;
    };
    const Case cases[] = {
        {[&] { port.SetParity(odd); }, PARODD, 0, 17, 19},
        {[&] { port.Parity().SetCheck(true); }, PARODD, INPCK, 17, 19},
        {[&] { port.Parity().SetBits(prMark); }, PARODD | CMSPAR, INPCK, 17, 19},
        {[&] { port.Parity().SetBits(prSpace); }, CMSPAR, INPCK, 17, 19},
        {[&] { port.SetStopBits(sbOne5StopBits); }, CMSPAR | CSTOPB, INPCK, 17, 19},
        {[&] { port.Parity().SetBits(prNone); }, CSTOPB, 0, 17, 19},
        {[&] {
             flow.SetXonChar('Q');
             flow.SetXoffChar(147);
         }, CSTOPB, 0, 'Q', 147},
        {[&] { flow.SetFlowControl(fcSoftware); }, CSTOPB, IXON | IXOFF, 'Q', 147},
        {[&] { flow.SetFlowControl(fcHardware); }, CSTOPB | CRTSCTS, 0, 'Q', 147},
        {[&] {
             port.SetFlowControl(TComFlowControl());
             port.SetStopBits(sbTwoStopBits);
         }, CSTOPB, 0, 17, 19},
        {[&] { port.SetStopBits(sbOneStopBit); }, 0, 0, 17, 19},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        c.change();
        const termios line = pty.Line().Attributes;
        EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS), c.cflag);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK), c.iflag);
        EXPECT_EQ(std::make_pair(line.c_cc[VSTART], line.c_cc[VSTOP]), std::make_pair(c.start, c.stop));
    }
}

TEST_F(PtyPortTest, AWriteOnAClosedPortFailsAsOnABadHandle)
{
    EXPECT_EQ(Raised([&] { port.Write("x", 1); }), std::make_pair(CError_WriteFailed, EBADF));
}

TEST_F(PtyPortTest, AnOpenWhoseRateTheLineRefusesLeavesThePortClosedAndTheDeviceFree)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(0);  // no line runs at 0 bit/s
    EXPECT_EQ(Raised([&] { port.Open(); }), std::make_pair(CError_SetStateFailed, EINVAL));
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(PortIsExclusive(pty.Path()));
}

TEST_F(PtyPortTest, ARateRefusedWhileOpenIsKeptButTheLineGoesOnAtItsLastOne)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.Open();
    EXPECT_EQ(Raised([&] { port.SetCustomBaudRate(0); }), std::make_pair(CError_SetStateFailed, EINVAL));
    EXPECT_EQ(port.CustomBaudRate(), 0);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(pty.Line().OutputSpeed, 31250u);
    port.SetCustomBaudRate(1);  // slow, but a rate
    EXPECT_EQ(pty.Line().OutputSpeed, 1u);
}

TEST_F(PtyPortTest, APseudoTerminalShowsNoModemLinesAndNoLineErrors)
{
    port.Open();
    EXPECT_TRUE(port.LineSignals().Empty());
    EXPECT_TRUE(port.TakeLineErrors().Empty());
}

TEST_F(PtyPortTest, AnOpenPortHoldsItsDeviceExclusivelyUntilItCloses)
{
    port.Open();
    EXPECT_TRUE(PortIsExclusive(pty.Path()));
    port.Close();
    EXPECT_FALSE(PortIsExclusive(pty.Path()));
}

TEST_F(PtyPortTest, AnOpenTheDeviceRefusesFailsWithTheSystemsCode)
{
    port.Open();
    TComPort other;
    other.SetEvents({});
    for (auto [path, error] :
         {std::pair{pty.Path(), EBUSY}, {"/dev/no-such-port", ENOENT}, {"/dev/null", ENOTTY}}) {
        other.SetPort(path);
        EXPECT_EQ(Raised([&] { other.Open(); }), std::make_pair(CError_OpenFailed, error)) << path;
        EXPECT_FALSE(other.Connected()) << path;
    }
    EXPECT_TRUE(PortIsExclusive(pty.Path()));  // the holder keeps it
}

TEST_F(PtyPortTest, AComNameOpensTheDeviceItsVariableNames)
{
    setenv("COM1_DEVICE", pty.Path().c_str(), 1);
    port.SetPort("COM1");
    port.Open();
    unsetenv("COM1_DEVICE");
    EXPECT_EQ(port.Write("via COM1", 8), 8);
    EXPECT_EQ(pty.Receive(8, 1000ms), "via COM1");
}

// Only a whole "COM" and a number name a COM port; an empty variable counts as none.
TEST(PortName, APortNameGivesItsDevicePath)
{
    setenv("COM1_DEVICE", "/dev/pts/unit", 1);
    setenv("COM12_DEVICE", "", 1);
    unsetenv("COM2_DEVICE");
    const std::pair<const char*, const char*> names[] = {  // computed, never opened
        {"\\\\.\\com12", "/dev/ttyS11"}, {"\\\\.\\/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"\\\\.\\ttyUSB1", "/dev/ttyUSB1"}, {"\\\\.\\COM0", "/dev/COM0"}, {"COMX", "/dev/COMX"},
        {"cOm1", "/dev/pts/unit"}, {"XOM1", "/dev/XOM1"}, {"CXM1", "/dev/CXM1"},
        {"COX1", "/dev/COX1"}, {"COM1X", "/dev/COM1X"}, {"COM2", "/dev/ttyS1"},
        {"COM123456789", "/dev/ttyS123456788"}, {"COM1234567890", "/dev/COM1234567890"}};
    for (auto [name, path] : names)
        EXPECT_EQ(DevicePathForPort(name), path) << name;
    unsetenv("COM1_DEVICE");
    unsetenv("COM12_DEVICE");
}

TEST_F(PtyPortTest, WrittenBytesArriveWholeAndInOrderEvenWhenClosedRightAfter)
{
    pty.ReleaseSlave();  // Close is the slave's last close
    port.SetBaudRate(br600);
    port.SetEvents(MaskToEvents(0x5E7));  // as the upload window has it: a thread purging as it ends
    port.Open();
    const std::string bytes = Pattern(300) + "\r\n\n\r\x11\x13\x03\x1a\x7f";  // every value, as they are
    for (char c : bytes)
        ASSERT_EQ(port.Write(&c, 1), 1);
    // More than the reader's line buffer holds, so a flush at close would lose bytes.
    const std::string block = Pattern(8000);
    ASSERT_EQ(port.Write(block.data(), 8000), 8000);
    EXPECT_EQ(port.Write("x", -5), 0);  // a negative count moves nothing
    port.Close();
    EXPECT_EQ(pty.Receive(bytes.size() + block.size() + 1, 1000ms), bytes + block);
}

TEST_F(PtyPortTest, ReceivedAndSentBytesAreReportedOnceOnTheThreadSyncMethodChooses)
{
    const std::string first("\x00\xff\r\x11\x13 ", 6), second("da\nta");  // '\n' is the event character
    port.SetEvents({evRxChar, evTxEmpty, evRxFlag});
    port.SetEventChar('\n');
    port.SetOnRxChar([&](TComponent*, std::int32_t n) { log.Add("#" + std::to_string(n)); });
    port.SetOnRxBuf([&](TComponent*, const void* b, std::int32_t n) {
        log.Add(">" + std::string(static_cast<const char*>(b), static_cast<std::size_t>(n)));
    });
    port.SetOnRxFlag([&](TComponent*) { log.Add("flag"); });
    port.SetOnTxEmpty([&](TComponent*) { log.Add("sent"); });
    auto received = [](const Names& entries) {  // the last count, or the bytes handed over
        std::size_t bytes = 0;
        for (const std::string& e : entries)
            bytes = e[0] == '#' ? std::stoul(e.substr(1)) : e[0] == '>' ? bytes + e.size() - 1 : bytes;
        return bytes;
    };
    for (auto [method, reportCount] :
         {std::pair{smNone, true}, {smThreadSync, true}, {smWindowSync, true}, {smNone, false},
          {smWindowSync, false}}) {
        SCOPED_TRACE(testing::Message() << int(method) << reportCount);
        log.Clear();
        port.SetSyncMethod(method);
        port.SetReportRxCount(reportCount);
        port.Open();
        pty.Send(first);
        ASSERT_TRUE(log.Until([&](const Names& e) { return received(e) == first.size(); }));
        EXPECT_EQ(std::ranges::count(log.Entries(), "flag"), 0);
        pty.Send(second);
        ASSERT_TRUE(log.Until([&](const Names& e) { return received(e) == 11 && std::ranges::count(e, "flag"); }));
        EXPECT_EQ(port.Write("ok", 2), 2);
        ASSERT_TRUE(log.Until([](const Names& e) { return std::ranges::count(e, "sent") > 0; }));
        const std::size_t reported = log.Entries().size();  // nothing more comes
        log.Until([&](const Names& e) { return e.size() > reported; }, true, 50ms);
        std::string got(16, '\0');
        got.resize(reportCount ? static_cast<std::size_t>(port.Read(got.data(), 16)) : 0);
        port.Close();
        const Names entries = log.Entries();
        EXPECT_EQ(entries.size(), reported);
        for (const std::string& e : entries)
            got += e[0] == '>' ? e.substr(1) : "";
        EXPECT_EQ(got, first + second);  // the count leaves the bytes in the driver for Read
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "flag"), 1);
        EXPECT_EQ(log.OnMain(), std::vector<bool>(entries.size(), method != smNone));
    }
}

TEST_F(PtyPortTest, InputNearlyFillingTheQueueIsReportedAndAFullOneLosesNothing)
{
    port.SetEvents({evRx80Full});
    port.SetOnRx80Full([&](TComponent*) { log.Add("80 %"); });
    port.Open();
    TComBuffer buffer;  // given to the open port
    buffer.SetInputSize(100);
    port.SetBuffer(buffer);
    pty.Send(std::string(50, 'a'));
    ASSERT_TRUE(Arrived(port, 50));
    EXPECT_TRUE(log.Entries().empty());
    pty.Send(std::string(100, 'b'));  // past the queue's size: the rest waits in the kernel, in order
    ASSERT_TRUE(log.WaitFor(1));
    char in[150];
    ASSERT_TRUE(Arrived(port, 150));
    EXPECT_EQ(std::string(in, port.Read(in, 150)), std::string(50, 'a') + std::string(100, 'b'));
    buffer.SetInputSize(-2);  // arrives huge: the queue is held at 1 MiB
    port.SetBuffer(buffer);
    const std::string bytes(900000, 'c');  // 80 % of 1 MiB, and room for all of it
    std::size_t sent = 0;
    for (const auto deadline = Within(1000ms); sent < bytes.size() && Clock::now() < deadline;) {
        pollfd room{pty.Master(), POLLOUT, 0};
        if (const ssize_t n = ::write(pty.Master(), bytes.data() + sent, bytes.size() - sent); n > 0)
            sent += std::size_t(n);
        else
            ::poll(&room, 1, 10);
    }
    EXPECT_EQ(sent, bytes.size());
    EXPECT_TRUE(log.WaitFor(2));
}

TEST_F(PtyPortTest, ClosingWhileBytesKeepComingNeverHangs)
{
    port.SetReportRxCount(false);  // the handler takes what arrives
    std::atomic<int> calls{0};
    port.SetOnRxBuf([&](TComponent*, const void*, std::int32_t) {
        ++calls;
        WakeMainThread();
    });
    for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
        port.SetSyncMethod(method);
        port.SetEvents({evRxChar});
        for (int round = 0; round < 3; ++round) {
            const int before = calls;
            port.Open();
            std::thread sender([&] {  // single bytes, fewer than the terminal holds: never blocks
                for (int i = 0; i < 500; ++i)
                    pty.Send("x");
            });
            const bool reported = ServeMainThreadUntil([&] { return calls > before; }, Within(2000ms));
            port.Close();  // while bytes still arrive
            sender.join();
            ASSERT_TRUE(reported) << int(method);
        }
    }
}

TEST_F(PtyPortTest, InputNobodyReadIsDroppedAtClose)
{
    port.SetEvents({evTxEmpty});  // an event thread, but none that takes input in
    port.Open();
    pty.Send("stale");
    ASSERT_TRUE(Arrived(port, 5));
    port.Close();
    port.SetEvents({});
    port.Open();
    EXPECT_EQ(port.ReceivedCount(), 0);
}

TEST_F(PtyPortTest, WriteEndsWhenItsBytesHaveGoneOrAtItsTimeOut)
{
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(0);
    port.Open();
    const std::string bytes = Pattern(1 << 20);
    {
        PtyReader reader(pty.Master());  // more than the queues hold: the write waits for room
        ASSERT_EQ(port.Write(bytes.data(), 300000), 300000);
        ASSERT_TRUE(reader.WaitFor(300000, 2000ms));
        EXPECT_EQ(reader.Bytes(), bytes.substr(0, 300000));
    }
    port.Timeouts().SetWriteTotalConstant(100);
    const auto start = Clock::now();
    const std::int32_t taken = port.Write(bytes.data(), 1 << 20);  // nobody reads
    EXPECT_GE(Since(start), 90ms);
    ASSERT_GT(taken, 0);
    ASSERT_LT(taken, 1 << 20);
    // Exactly the bytes counted reach the reader; the rest was dropped.
    const auto size = static_cast<std::size_t>(taken);
    EXPECT_EQ(pty.Receive(size + 1, 100ms), bytes.substr(0, size));
}

TEST_F(PtyPortTest, ReadsEndByTheirTimeOutRules)
{
    port.Open();
    const auto descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = descriptors();
    struct Case {
        int interval, multiplier, constant;
        std::string sent, got;
        int count;
        std::chrono::milliseconds atLeast, below;
    };
    const Case cases[] = {
        {-1, 0, 0, "", "", 10, 0ms, 200ms},         // at once, with nothing there
        {-1, 0, 0, "abc", "abc", 10, 0ms, 200ms},   // at once, with what has arrived
        {0, 0, 60, "de", "de", 10, 55ms, 1000ms},   // the total constant
        {0, 10, 0, "", "", 5, 45ms, 1000ms},        // the total multiplier: 5 x 10 ms
        {0, 0, 0, "nopq", "nopq", 4, 0ms, 500ms},   // no time-out: all the bytes
        {1, 0, 1000, "fgh", "fgh", 10, 0ms, 500ms}, // the interval after the last byte
        {-1, -1, 1000, "lm", "lm", 10, 0ms, 500ms}, // as soon as anything has arrived
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TComTimeouts t;  // a whole object given to the open port reaches the device as well
        t.SetReadInterval(c.interval);
        t.SetReadTotalMultiplier(c.multiplier);
        t.SetReadTotalConstant(c.constant);
        port.SetTimeouts(t);
        pty.Send(c.sent);
        ASSERT_TRUE(Arrived(port, c.sent.size()));
        std::string buffer(static_cast<std::size_t>(c.count), '\0');
        const auto start = Clock::now();
        buffer.resize(static_cast<std::size_t>(port.Read(buffer.data(), c.count)));
        EXPECT_EQ(buffer, c.got);
        EXPECT_GE(Since(start), c.atLeast);
        EXPECT_LT(Since(start), c.below);
    }
    port.SetDiscardNull(true);  // one byte left of what arrives is still a byte
    pty.Send(std::string("\0a", 2));
    char got[3] = {};
    EXPECT_EQ(std::string(got, static_cast<std::size_t>(port.Read(got, 1))), "a");
    port.SetDiscardNull(false);
    pty.Send(std::string("\0d", 2));
    EXPECT_EQ(std::string(got, static_cast<std::size_t>(port.Read(got, 2))), std::string("\0d", 2));
    EXPECT_EQ(descriptors(), before);  // each read's wait releases what it took
}

TEST_F(PtyPortTest, PendingTransfersEndByAbortWithTheirCountsOrByHangUpWithAnError)
{
    port.Timeouts().SetReadInterval(0);  // no time-outs: only an abort or a hang-up ends them
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(0);
    port.SetEvents({evRxChar, evTxEmpty});  // the event thread's wait ends too
    port.Open();
    std::string input(10, '\0');
    const std::string output = Pattern(1 << 20);
    TComTransfer *read = nullptr, *write = nullptr;
    port.InitTransfer(read);
    port.InitTransfer(write);
    auto start = [&] {
        EXPECT_EQ(port.StartRead(input.data(), 10, read), 0);
        EXPECT_EQ(port.StartWrite(output.data(), 1 << 20, write), 0);
        return std::pair{std::async(std::launch::async, [&] { return port.WaitForTransfer(read); }),
                         std::async(std::launch::async, [&] { return port.WaitForTransfer(write); })};
    };
    pty.Send("abc");
    ASSERT_TRUE(Arrived(port, 3));
    auto [reader, writer] = start();
    port.AbortTransfers();  // from another thread than the waits
    const bool ended = reader.wait_for(1s) == std::future_status::ready &&
                       writer.wait_for(1s) == std::future_status::ready;
    if (!ended)
        pty.CloseMaster();  // a hang-up releases them all the same
    ASSERT_TRUE(ended);
    EXPECT_EQ(input.substr(0, static_cast<std::size_t>(reader.get())), "abc");
    const auto taken = static_cast<std::size_t>(writer.get());
    EXPECT_EQ(pty.Receive(taken + 1, 100ms), output.substr(0, taken));  // the rest was dropped

    auto [failedRead, failedWrite] = start();
    pty.CloseMaster();
    EXPECT_EQ(Raised([&] { failedRead.get(); }), std::make_pair(CError_ReadFailed, EIO));
    EXPECT_EQ(Raised([&] { failedWrite.get(); }), std::make_pair(CError_WriteFailed, EIO));
    port.DoneTransfer(read);
    port.DoneTransfer(write);
    EXPECT_EQ(Raised([&] { port.Write("x", 1); }), std::make_pair(CError_WriteFailed, EIO));
    errno = EINTR;  // as an earlier interrupted call leaves it: the hung-up line's end of file is no retry
    EXPECT_EQ(Raised([&] { port.Read(input.data(), 1); }), std::make_pair(CError_ReadFailed, EIO));
    port.Close();
    EXPECT_FALSE(port.Connected());
}

// An open port whose reads end as soon as anything is there, with a transfer record's slot.
class PtyTransferTest : public PtyPortTest {
protected:
    void SetUp() override
    {
        port.SetEvents({evRxChar});
        port.Timeouts().SetReadTotalMultiplier(-1);
        port.Timeouts().SetReadTotalConstant(1000);
        port.Open();
    }
    void TearDown() override { port.DoneTransfer(transfer); }

    TComTransfer* transfer = nullptr;
    char buffer[8] = {};
};

TEST_F(PtyTransferTest, TransfersWithoutARecordFailAsInvalid)
{
    const std::function<void()> calls[] = {[&] { port.StartWrite(buffer, 1, transfer); },
                                           [&] { port.StartRead(buffer, 1, transfer); },
                                           [&] { port.WaitForTransfer(transfer); }};
    for (const auto& call : calls)
        EXPECT_EQ(Raised(call), std::make_pair(CError_InvalidAsync, -1));
    port.DoneTransfer(transfer);  // releasing nothing is harmless
}

TEST_F(PtyTransferTest, AWaitOnARecordWithNothingStartedReturnsAtOnce)
{
    port.InitTransfer(transfer);
    auto waited = std::async(std::launch::async, [&] { return port.WaitForTransfer(transfer); });
    const bool complete = waited.wait_for(1s) == std::future_status::ready;
    if (!complete)
        port.Device().SetEvent(transfer->Overlapped.hEvent);
    EXPECT_TRUE(complete);
    EXPECT_EQ(waited.get(), 0);
}

// With an interval the read ends that long after a byte; before the first it sleeps too.
TEST_F(PtyTransferTest, APendingReadGetsWhatArrivesWhileTheEventThreadWaitsBesideIt)
{
    port.InitTransfer(transfer);
    for (const auto& [sent, interval] : {std::pair{"a", -1}, {"bc", 20}, {"def", -1}}) {
        port.Timeouts().SetReadInterval(interval);
        EXPECT_EQ(port.StartRead(buffer, 8, transfer), 0);
        auto got = std::async(std::launch::async, [&] { return port.WaitForTransfer(transfer); });
        EXPECT_TRUE(OthersAsleep());  // the read and the event thread wait for the line: even a lone byte wakes them
        const auto start = Clock::now();
        pty.Send(sent);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got.get())), std::string(sent));
        EXPECT_LT(Since(start), 500ms);
    }
}

TEST_F(PtyTransferTest, TransfersOfBytesAlreadyThereCompleteAsTheyStart)
{
    port.InitTransfer(transfer);
    pty.Send("now");
    ASSERT_TRUE(Arrived(port, 3));
    EXPECT_EQ(port.StartRead(buffer, 8, transfer), 3);
    EXPECT_EQ(port.WaitForTransfer(transfer), 3);
    EXPECT_EQ(std::string(buffer, 3), "now");
    EXPECT_EQ(port.StartWrite("out", 3, transfer), 3);
    EXPECT_EQ(port.WaitForTransfer(transfer), 3);
}

TEST_F(PtyTransferTest, AReleasedRecordTakesItsPendingReadWithIt)
{
    port.InitTransfer(transfer);
    auto pending = std::make_unique<char[]>(4);
    EXPECT_EQ(port.StartRead(pending.get(), 4, transfer), 0);
    port.DoneTransfer(transfer);
    EXPECT_EQ(transfer, nullptr);
    pending.reset();
    pty.Send("late");
    ASSERT_TRUE(Arrived(port, 4));
    port.Close();  // must not write into the freed record or buffer (the sanitizers watch)
}

TEST_F(PtyPortTest, StoredFormOpensAtFinishLoadingAndShowsWhatFails)
{
    Names shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    {
        TStoredFormReading reading;
        TComPort loaded, failing, dropped;
        loaded.SetPort(pty.Path());
        loaded.SetConnected(true);
        loaded.SetBaudRate(br1200);  // recorded only
        loaded.SetOnAfterClose([&](TComponent*) { log.Add("closed"); });
        failing.SetPort("/dev/no-such-port");
        failing.SetConnected(true);
        dropped.SetConnected(true);  // the form's reading fails before its FinishLoading
        EXPECT_FALSE(PortIsExclusive(pty.Path()));
        loaded.FinishLoading();
        failing.FinishLoading();
        EXPECT_TRUE(loaded.Connected());
        EXPECT_EQ(pty.Line().OutputSpeed, 1200u);
        EXPECT_FALSE(failing.Connected() || failing.Loading());
    }
    SetApplicationExceptionHandler(nullptr);
    EXPECT_EQ(shown, (Names{"Unable to open com port (win error code: 2)"}));
    EXPECT_EQ(log.Entries(), (Names{"closed"}));  // destroying an open port closes it
    EXPECT_FALSE(PortIsExclusive(pty.Path()));
}

TEST(PtyPersistence, LoadIntoAnOpenPortReachesTheLineAtOnceUntilTheLineRefuses)
{
    PtyPair first, second;
    TempDir dir;
    TComPort port;
    port.SetName("RS232");
    port.SetEvents({});
    port.SetPort(first.Path());
    port.Open();
    TIniFile ini(dir.Write("ports.ini", "[RS232]\nBaudRate=19200\nStopBits=2\nParity=Odd\n"));
    port.LoadFromIniSection(ini);
    // A pseudo-terminal forces CS8 and clears PARENB; it keeps PARODD and CSTOPB.
    EXPECT_EQ(first.Line().OutputSpeed, 19200u);
    EXPECT_EQ(first.Line().Attributes.c_cflag & (CSTOPB | PARODD | CMSPAR), tcflag_t(CSTOPB | PARODD));

    dir.Write("ports.ini", "[RS232]\nPort=" + second.Path() + "\nBaudRate=Custom\nCustomBaudRate=31250\n");
    port.LoadFromIniSection(ini);  // another port: closed here, opened there
    EXPECT_EQ(second.Line().OutputSpeed, 31250u);
    EXPECT_EQ(second.Line().Attributes.c_cflag & (CSTOPB | PARODD), tcflag_t(CSTOPB | PARODD));
    EXPECT_EQ(port.Write("Z", 1), 1);
    EXPECT_EQ(second.Receive(1, 500ms), "Z");
    EXPECT_FALSE(PortIsExclusive(first.Path()));

    dir.Write("ports.ini", "[RS232]\nCustomBaudRate=0\nStopBits=1\n");  // no line runs at 0 bit/s
    EXPECT_EQ(Raised([&] { port.LoadFromIniSection(ini); }), std::make_pair(CError_SetStateFailed, EINVAL));
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);  // the load ended at the refusal
}

// The device layer on its own: a line-event wait that nothing could end fails at once, one
// whose event was closed is gone, and closing a device ends the transfers pending on it.
TEST(PtyDevice, WaitsThatCannotEndFailAtOnceAndCloseEndsWhatIsPending)
{
    PtyPair pty;
    TComDevice& device = SystemComDevice();
    const THandle port = device.OpenPort("\\\\.\\" + pty.Path());
    ASSERT_NE(port, THandle{});
    DWORD mask = 0, done = 0;
    OVERLAPPED wait{}, read{};
    wait.hEvent = device.NewEvent(true, true);
    read.hEvent = device.NewEvent(true, false);
    ASSERT_TRUE(device.SetCommMask(port, 0));
    EXPECT_FALSE(device.WaitCommEvent(port, &mask, &wait));
    EXPECT_EQ(device.GetLastError(), DWORD(EINVAL));
    EXPECT_EQ(device.WaitForSingleObject(wait.hEvent, 0), DWORD(kWaitTimeout));  // reset: a loop would block
    // A wait whose event is closed goes with it: the next one starts.
    ASSERT_TRUE(device.SetCommMask(port, kEvRxChar));
    OVERLAPPED dropped{};
    dropped.hEvent = device.NewEvent(true, false);
    for (OVERLAPPED* overlapped : {&dropped, &wait}) {
        EXPECT_FALSE(device.WaitCommEvent(port, &mask, overlapped));
        EXPECT_EQ(device.GetLastError(), DWORD(kErrorIoPending));
        if (overlapped == &dropped)
            device.CloseHandle(dropped.hEvent);
    }
    const COMMTIMEOUTS forever{};
    ASSERT_TRUE(device.SetCommTimeouts(port, forever));
    char byte = 0;
    EXPECT_FALSE(device.ReadFile(port, &byte, 1, &done, &read));
    EXPECT_EQ(device.GetLastError(), DWORD(kErrorIoPending));
    EXPECT_TRUE(device.CloseHandle(port));
    for (THandle ended : {read.hEvent, wait.hEvent})
        EXPECT_EQ(device.WaitForSingleObject(ended, 1000), DWORD(kWaitObject0));
    device.CloseHandle(wait.hEvent);
    device.CloseHandle(read.hEvent);
}

// A wait takes up to 64 events, as on Windows; one that cannot watch its events (no
// descriptor left for their wake-ups) fails with the reason.
namespace {

// Events of the system device layer, closed with their owner.
class DeviceEvents {
public:
    explicit DeviceEvents(std::size_t count) : handles(count)
    {
        for (THandle& event : handles)
            event = device.NewEvent(true, false);
    }
    ~DeviceEvents()
    {
        for (THandle event : handles)
            device.CloseHandle(event);
    }
    DeviceEvents(const DeviceEvents&) = delete;
    DeviceEvents& operator=(const DeviceEvents&) = delete;

    TComDevice& device = SystemComDevice();
    std::vector<THandle> handles;
};

} // namespace

TEST(PtyDevice, AWaitTakesUpTo64Events)
{
    DeviceEvents events(65);
    TComDevice& device = events.device;
    EXPECT_EQ(device.WaitForMultipleObjects(64, events.handles.data(), false, 0), DWORD(kWaitTimeout));
    EXPECT_EQ(device.WaitForMultipleObjects(65, events.handles.data(), false, 0), DWORD(kWaitFailed));
    EXPECT_EQ(device.GetLastError(), DWORD(EINVAL));
}

TEST(PtyDevice, AWaitWithNoDescriptorLeftFailsAndSaysWhy)
{
    DeviceEvents events(65);
    TComDevice& device = events.device;
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const int next = ::dup(0);  // the lowest free descriptor: below the limit, no new one
    ::close(next);
    const rlimit full{rlim_t(next), limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &full), 0);
    const DWORD single = device.WaitForSingleObject(events.handles[0], 10);
    const DWORD singleError = device.GetLastError();
    device.WaitForMultipleObjects(65, events.handles.data(), false, 0);  // EINVAL again, for the next to replace
    const DWORD multiple = device.WaitForMultipleObjects(2, events.handles.data(), false, 10);
    const DWORD multipleError = device.GetLastError();
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(std::make_pair(single, singleError), std::make_pair(DWORD(kWaitFailed), DWORD(EMFILE)));
    EXPECT_EQ(std::make_pair(multiple, multipleError), std::make_pair(DWORD(kWaitFailed), DWORD(EMFILE)));
}

namespace {

// A full line on which, as its first write is tried, another thread closes the device.
struct LineClosedMidWrite final : TLineOutput {
    std::function<void()> onFirstWrite;
    bool HasQueue(int) override { return false; }
    long Write(int, const char*, std::size_t) override
    {
        if (onFirstWrite)
            std::exchange(onFirstWrite, nullptr)();
        errno = EAGAIN;
        return -1;
    }
    bool Queued(int, int* bytes) override
    {
        *bytes = 0;
        return true;
    }
    bool Drop(int) override { return true; }
};

} // namespace

// Closed just as a write begins, the device fails the write at once: it does not wait for
// its time-out on a device no close can end it on any more, nor report it done.
TEST(PtyDevice, AWriteWhoseDeviceClosesAsItBeginsFails)
{
    PtyPair pty;
    LineClosedMidWrite line;
    PosixComDevice device(line);
    const THandle port = device.OpenPort(pty.Path());
    ASSERT_NE(port, kInvalidHandle);
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = 200;
    ASSERT_TRUE(device.SetCommTimeouts(port, timeouts));
    line.onFirstWrite = [&] { device.CloseHandle(port); };
    DWORD done = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(device.WriteFile(port, "x", 1, &done, nullptr));
    EXPECT_EQ(device.GetLastError(), DWORD(EBADF));
    EXPECT_LT(Since(start), 100ms);
}

// The master side of a pseudo-terminal (a fresh pair each open) has an output queue of its
// own, as a UART has: asked about it, the layer takes its answer, whatever errno says.
TEST(PtyMaster, ADeviceWithAnOutputQueueTakesWritesAndTellsItsQueues)
{
    TComPort port;
    port.SetEvents({});
    port.SetSyncMethod(smNone);
    port.SetPort("/dev/ptmx");
    port.Open();
    errno = EINTR;  // as an earlier interrupted call leaves it
    EXPECT_EQ(port.Write("abc", 3), 3);
    EXPECT_EQ(port.ReceivedCount(), 0);
    port.Close();
}
