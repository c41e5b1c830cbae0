// vorn-unit as a program: a test plays the transmitter on the unit's port and
// checks the reports and the -o file. Needs nothing but vorn-unit itself.
#include "ChildProcess.h"
#include "PortWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

namespace {

std::string Entry(std::string text)
{
    text.resize(16, ' ');
    return text;
}

const std::string Empty(16, '\xFF');

// Names in CP1250: "Bass", "Zażółć gęślą", empty, a blank name, a full 16 characters, empty × 3.
const std::string Names = Entry("Bass") + Entry("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9") + Empty + Entry(" ")
    + Entry("1234567890123456") + Empty + Empty + Empty;

const std::string NameLines =
    "  Prog.1: Bass\n  Prog.2: Zażółć gęślą\n  Prog.3:\n  Prog.4:\n  Prog.5: 1234567890123456\n"
    "  Prog.6:\n  Prog.7:\n  Prog.8:\n";

// Bytes a cooked line would change or swallow: LF, CR, Ctrl-C, Ctrl-Z, XOFF, 0xFF.
const std::string Words = std::string("\x0C\x94\x5C\x00\x0A\x0D\x03\x1A\x13\x11\xFF\x00", 12);

class VornUnit : public ::testing::Test {
protected:
    void SetUp() override
    {
        unit_ = std::make_unique<ChildProcess>(std::vector<std::string>{VORN_UNIT_PATH, "-o", Received()});
        const auto first = unit_->ReadLine(5s);
        ASSERT_TRUE(first);
        ASSERT_EQ(first->rfind("COM1_DEVICE=/dev/pts/", 0), 0u) << *first;
        port_ = first->substr(first->find('=') + 1);
    }

    void TearDown() override
    {
        unit_->Signal(SIGTERM);
        EXPECT_EQ(unit_->Wait(5s), 0);
    }

    std::string Received() const { return (dir_.Path() / "received.bin").string(); }
    std::string Saved() const { return "  saved to " + Received() + "\n"; }

    TempDir dir_;
    std::unique_ptr<ChildProcess> unit_;
    std::string port_;
};

// Processor time the program has used, in clock ticks.
long CpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i)
        fields >> skip;
    long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
}

}  // namespace

TEST_F(VornUnit, ServesUploadAfterUploadKeepingOnlyTheLastOnesBytes)
{
    std::optional<PortWriter> writer(std::in_place, port_);
    writer->Write(Words + Names);
    const std::string quiet = unit_->ReadThrough("end of upload 1", 5s);
    EXPECT_NE(quiet.find("upload 1 ended (line quiet for 1 s): 140 bytes, 3 program words\n"), std::string::npos)
        << quiet;

    writer->SetCustomRate(31250);  // the open port serves the next upload
    writer->Write(Words + Names);
    writer.reset();
    EXPECT_EQ(unit_->ReadThrough("end of upload 2", 10s),
              "line: 31250 bit/s, 8 data bits, no parity, 1 stop bit\n"
              "upload 2 ended (port closed): 140 bytes, 3 program words\n"
              + NameLines + Saved() + "end of upload 2\n");
    EXPECT_EQ(ReadFileBytes(Received()), Words + Names);

    writer.emplace(port_);  // an open and close with nothing sent is no upload
    writer.reset();
    // Shorter than the last, so a file that is appended to or not emptied shows.
    const std::string shorter = "\x01\x02\x03\x04\x05" + Names;
    PortWriter(port_, true).Write(shorter);
    EXPECT_EQ(unit_->ReadThrough("end of upload 3", 10s),
              "line: 600 bit/s, 8 data bits, no parity, 2 stop bits\n"
              "upload 3 ended (port closed): 133 bytes, 1 program word and 1 stray byte\n"
              + NameLines + Saved() + "end of upload 3\n");
    EXPECT_EQ(ReadFileBytes(Received()), shorter);
}

TEST_F(VornUnit, LosesNoByteWhenThePortClosesRightAfterALongWrite)
{
    std::mt19937 random(9);
    std::string stream(64 * 1024, '\0');
    for (char& c : stream)
        c = static_cast<char>(random());
    stream += Names;
    PortWriter(port_).Write(stream);
    const std::string report = unit_->ReadThrough("end of upload 1", 20s);
    EXPECT_NE(report.find("upload 1 ended (port closed): 65664 bytes, 16384 program words\n" + NameLines),
              std::string::npos) << report;
    EXPECT_EQ(ReadFileBytes(Received()), stream);
}

TEST_F(VornUnit, StopEndsTheUploadInProgressWithItsSummary)
{
    PortWriter writer(port_);
    writer.Write("abc");
    EXPECT_EQ(unit_->ReadLine(5s), "line: 600 bit/s, 8 data bits, no parity, 1 stop bit");
    unit_->Signal(SIGTERM);
    EXPECT_EQ(unit_->ReadAll(5s),
              "upload 1 ended (stopped): 3 bytes, too few for the name table of 128 bytes\n" + Saved()
                  + "end of upload 1\n");
    EXPECT_EQ(unit_->Wait(5s), 0);
    EXPECT_EQ(ReadFileBytes(Received()), "abc");
}

TEST_F(VornUnit, UsesNoProcessorTimeBetweenUploads)
{
    PortWriter(port_).Write(Words + Names);
    unit_->ReadThrough("end of upload 1", 10s);
    // A poll loop spinning on the master's hang-up would burn the whole interval.
    const long before = CpuTicks(unit_->Pid());
    std::this_thread::sleep_for(500ms);
    EXPECT_LE(CpuTicks(unit_->Pid()) - before, 5);
}

TEST(VornUnitArguments, RefusesBadArgumentsAndAnUnwritableFile)
{
    TempDir dir;
    std::string out;
    for (const auto& [args, status] : {std::pair{std::vector<std::string>{"-x"}, 2}, {{"-o"}, 2},
                                       {{"-o", (dir.Path() / "no" / "such.bin").string()}, 1}}) {
        std::vector<std::string> argv{VORN_UNIT_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(RunProgram(argv, {}, 5s, &out), status);
        EXPECT_EQ(out, "");  // nothing that looks like a port to use
    }
}
