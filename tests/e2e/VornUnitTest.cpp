// vorn-unit as a program: the test plays the transmitter on the unit's port with
// the serial component and checks the reports and the -o file. A pseudo-terminal
// keeps only speed and stop bits (the kernel forces 8 data bits, no parity), so the
// other framings are decoded on their own.
#include "ChildProcess.h"
#include "TempDir.h"
#include "serial/CPort.h"
#include "tools/vorn-unit/LineSettings.h"
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <random>
#include <signal.h>
#include <termios.h>
#include <thread>

namespace {

// The transmitter's end, opened exclusively as a real transmitter opens it.
struct Transmitter : TComPort {
    explicit Transmitter(const std::string& path, std::int32_t rate = 600, TStopBits stopBits = sbOneStopBit)
    {
        SetPort(path);
        SetBaudRate(brCustom);
        SetCustomBaudRate(rate);
        SetStopBits(stopBits);
        SetSyncMethod(smNone);
        Open();
    }
    ~Transmitter() override { Close(); }  // before the event thread could see a base class being left
    void Send(std::string_view bytes) { EXPECT_EQ(Write(bytes.data(), std::int32_t(bytes.size())), bytes.size()); }
};

std::string Entry(std::string text) { return text.append(16 - text.size(), ' '); }

// Names in CP1250, and as the unit shows them: decoded, pad spaces dropped, 0xFF alone
// empty, control characters escaped so that they cannot drive the terminal.
const std::string Names = Entry("Bass") + Entry("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9") + std::string(16, '\xFF') +
                          Entry(" ") + Entry(std::string("a\x1B[2Jb\x7F\0x", 9)) + std::string(15, '\xFF') + " " +
                          Entry("  lead") + Entry("1234567890123456");
const std::string NameLines = "  Prog.1: Bass\n  Prog.2: Zażółć gęślą\n  Prog.3:\n  Prog.4:\n"
                              "  Prog.5: a\\x1B[2Jb\\x7F\\x00x\n  Prog.6: ˙˙˙˙˙˙˙˙˙˙˙˙˙˙˙\n  Prog.7:   lead\n"
                              "  Prog.8: 1234567890123456\n";
// Bytes a cooked line would change or swallow: LF, CR, Ctrl-C, Ctrl-Z, XOFF, XON, 0xFF.
const std::string Words = std::string("\x0C\x94\x5C\x00\x0A\x0D\x03\x1A\x13\x11\xFF\x00", 12);

}  // namespace

TEST(VornUnit, ReportsEachUploadAndKeepsOnlyTheLastOnesBytes)
{
    TempDir dir;
    const std::string received = (dir.Path() / "received.bin").string(), saved = "  saved to " + received + "\n";
    ChildProcess unit({VORN_UNIT_PATH, "-o", received});
    const std::string first = unit.Read("\n", 5s);
    ASSERT_EQ(first.rfind("COM1_DEVICE=/dev/pts/", 0), 0u) << first;
    const std::string port = first.substr(12, first.size() - 13);
    const auto report = [&](int n, const std::string& counts) {
        const std::string end = "end of upload " + std::to_string(n) + "\n";
        EXPECT_EQ(unit.Read(end, 10s), counts + "\n" + NameLines + saved + end);
    };
    // A long write that the port's close follows at once loses no byte.
    std::mt19937 random(9);
    std::string stream(64 * 1024, '\0');
    for (char& c : stream)
        c = static_cast<char>(random());
    Transmitter(port).Send(stream + Names);
    report(1, "line: 600 bit/s, 8 data bits, no parity, 1 stop bit\n"
              "upload 1 ended (port closed): 65664 bytes, 16384 program words");
    EXPECT_EQ(ReadFileBytes(received), stream + Names);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(std::filesystem::status(received).permissions(), std::filesystem::perms(0644 & ~mask));
    {
        // A quiet second ends an upload; the port, still open, carries the next at another rate.
        Transmitter transmitter(port);
        transmitter.Send(Words + Names);
        report(2, "upload 2 ended (line quiet for 1 s): 140 bytes, 3 program words");
        transmitter.SetCustomBaudRate(31250);
        transmitter.Send(Words + Names);
    }
    report(3, "line: 31250 bit/s, 8 data bits, no parity, 1 stop bit\n"
              "upload 3 ended (port closed): 140 bytes, 3 program words");
    EXPECT_EQ(ReadFileBytes(received), Words + Names);  // shorter than the last: replaced, not written over

    Transmitter{port};  // an open and close with nothing sent is no upload
    {
        // However the bytes come, the name table is the last 128; a report of new settings
        // shows that the unit has read what came before.
        Transmitter transmitter(port, 600, sbTwoStopBits);
        transmitter.Send("\x01\x02\x03\x04\x05");
        EXPECT_EQ(unit.Read("\n", 5s), "line: 600 bit/s, 8 data bits, no parity, 2 stop bits\n");
        transmitter.SetStopBits(sbOneStopBit);
        transmitter.Send(Names.substr(0, 126));
        EXPECT_EQ(unit.Read("\n", 5s), "line: 600 bit/s, 8 data bits, no parity, 1 stop bit\n");
        transmitter.SetStopBits(sbTwoStopBits);
        transmitter.Send(Names.substr(126));
    }
    report(4, "line: 600 bit/s, 8 data bits, no parity, 2 stop bits\n"
              "upload 4 ended (port closed): 133 bytes, 1 program word and 1 stray byte");
    // Between uploads the unit waits without using the processor: no poll spins on the hang-up.
    const auto cpuTime = [&] {
        long long ns = 0;
        std::ifstream("/proc/" + std::to_string(unit.Pid()) + "/schedstat") >> ns;
        return ns;
    };
    const long long before = cpuTime();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(cpuTime() - before, 50'000'000);
    // A stop ends the upload in progress with its summary.
    Transmitter transmitter(port);
    transmitter.Send("abc");
    EXPECT_EQ(unit.Read("\n", 5s), "line: 600 bit/s, 8 data bits, no parity, 1 stop bit\n");
    unit.Signal(SIGTERM);
    EXPECT_EQ(unit.Read({}, 5s), "upload 5 ended (stopped): 3 bytes, too few for the name table of 128 bytes\n" +
                                     saved + "end of upload 5\n");
    EXPECT_EQ(unit.Wait(5s), 0);
    EXPECT_EQ(ReadFileBytes(received), "abc");
    // Wrong arguments, and a file that cannot be written, end it before it names a port.
    std::string out;
    for (const auto& [args, status] : {std::pair{std::vector<std::string>{VORN_UNIT_PATH, "-x"}, 2},
                                       {{VORN_UNIT_PATH, "-o"}, 2},
                                       {{VORN_UNIT_PATH, "-o", dir.Path() / "no/such"}, 1}}) {
        EXPECT_EQ(RunProgram(args, 5s, &out), status);
        EXPECT_EQ(out, "");
    }
}

TEST(VornUnitParts, DecodesEveryFraming)
{
    const std::pair<tcflag_t, const char*> framings[] = {
        {CS7 | PARENB | CSTOPB, "600 bit/s, 7 data bits, even parity, 2 stop bits"},
        {CS6 | PARENB | PARODD, "600 bit/s, 6 data bits, odd parity, 1 stop bit"},
        {CS5 | CSTOPB | PARENB | PARODD | CMSPAR, "600 bit/s, 5 data bits, mark parity, 1.5 stop bits"},
        {CS8 | PARENB | CMSPAR, "600 bit/s, 8 data bits, space parity, 1 stop bit"},
        {CS8 | PARODD, "600 bit/s, 8 data bits, no parity, 1 stop bit"},  // PARODD alone is no parity
    };
    for (const auto& [flags, text] : framings)
        EXPECT_EQ(DescribeLineSettings(DecodeLineSettings(flags, 600)), text);
}
