// vorn-send as a program: its arguments, exit statuses and messages.
#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempDir.h"

#include "app/UploadStream.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string SendPath = VORN_SEND_PATH;

struct Result {
    std::optional<int> status;
    std::string output;  // standard output and standard error together
};

Result Send(const std::string& arguments, const EnvChanges& env = {})
{
    Result r;
    r.status = RunProgram({"/bin/sh", "-c", SendPath + " " + arguments + " 2>&1"}, env, 20s, &r.output);
    return r;
}

// vorn-send itself as the child (the shell execs it), so signals reach it.
std::vector<std::string> SendCommand(const std::string& arguments)
{
    return {"/bin/sh", "-c", "exec " + SendPath + " " + arguments + " 2>&1"};
}

// `count` program lines of a distinct word each.
std::string HexLines(std::size_t first, std::size_t count)
{
    std::string text;
    char line[32];
    for (std::size_t i = first; i < first + count; ++i) {
        std::snprintf(line, sizeof line, ":04%04X00%08zX00\r\n", unsigned(i * 4 & 0xFFFF), i);
        text += line;
    }
    return text;
}

std::string Stream(const std::filesystem::path& hex, const TBankNames& names)
{
    std::string bytes;
    WriteUploadStream(hex, names, [&bytes](std::uint8_t b) { bytes += char(b); });
    return bytes;
}

} // namespace

TEST(VornSend, WrongArgumentsExitTwoAndHelpExplains)
{
    for (const char* wrong : {"", "--port", "--bogus x.hex", "f 1 2 3 4 5 6 7 8 9"}) {
        const Result r = Send(wrong);
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_NE(r.output.find("usage: vorn-send"), std::string::npos) << wrong;
    }
    const Result help = Send("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--port NAME"), std::string::npos);
}

TEST(VornSend, FailuresExitOneWithTheMessage)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", ":0400000012345678E8\n").string();
    const Result missing = Send((dir.Path() / "none.hex").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("vorn-send: Plik o podanej nazwie nie istnieje!"), std::string::npos);

    const Result noDevice = Send(hex, {{"COM1_DEVICE", (dir.Path() / "ttyNone").string()}, {"LANG", "C"}});
    EXPECT_EQ(noDevice.status, 1);
    EXPECT_NE(noDevice.output.find("vorn-send: Unable to open com port (win error code: 2)"), std::string::npos)
        << noDevice.output;
}

TEST(VornSend, SendsThroughTheNamedPortAndReportsProgressAsLines)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", ":0400000012345678E8\n:0400040009ABCDEF8C\n").string();
    PtyPair pty;
    PtyReader reader(pty.Master());
    const Result r = Send("--port " + pty.Path() + " " + hex + " Bas ''", {{"COM1_DEVICE", "/nonexistent"}});
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(reader.WaitFor(8 + 128, 5s));
    EXPECT_EQ(reader.Bytes().substr(0, 8 + 16), "\x12\x34\x56\x78\x09\xAB\xCD\xEF" "Bas             ");
    EXPECT_EQ(reader.Bytes().substr(24, 16), std::string(16, '\xFF'));
    EXPECT_NE(r.output.find("Wysyłam dane programów z szybkością 600 bit/s...\n"), std::string::npos);
    EXPECT_NE(r.output.find("Wysyłam nazwy programów z szybkością 600 bit/s...\n"), std::string::npos);
    EXPECT_NE(r.output.find("100%  136/136 bytes\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\r'), std::string::npos);
}

TEST(VornSend, ReadsAPipeOrAFifoOnceAndShowsTheBytesSent)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", HexLines(0, 50));
    const std::string expected = Stream(hex, {"Pipe"});
    PtyPair pty;
    {
        PtyReader reader(pty.Master());
        Result r;
        r.status = RunProgram({"/bin/sh", "-c", "cat " + hex.string() + " | " + SendPath + " --port " + pty.Path() +
                                                    " /dev/stdin Pipe 2>&1"},
                              {}, 20s, &r.output);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
        EXPECT_EQ(reader.Bytes(), expected);
        EXPECT_NE(r.output.find("\n328 bytes sent\n"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find('%'), std::string::npos) << r.output;
    }
    // A FIFO whose writer comes after the upload started is waited for, not taken as empty.
    const auto fifo = dir.Path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand("--port " + pty.Path() + " " + fifo.string() + " Pipe"));
    ChildProcess writer({"/bin/sh", "-c", "cat \"$0\" > \"$1\"", hex.string(), fifo.string()});
    EXPECT_EQ(writer.Wait(10s), 0);
    EXPECT_EQ(send.Wait(10s), 0) << send.ReadAll(1s);
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(reader.Bytes(), expected);
}

TEST(VornSend, AFileThatGrowsDuringTheUploadIsSentAsReadAndTheNamesFollow)
{
    TempDir dir;
    const auto hex = dir.Write("grows.hex", HexLines(0, 40000));
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand("--port " + pty.Path() + " " + hex.string() + " Last"));
    // The reader is far from the end of the file: what is appended now is read too.
    ASSERT_TRUE(reader.WaitFor(4, 10s));
    std::ofstream(hex, std::ios::binary | std::ios::app) << HexLines(40000, 1000);
    EXPECT_EQ(send.Wait(60s), 0);
    const std::string expected = Stream(hex, {"Last"});
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(reader.Bytes(), expected);
    // The percentage was counted for the shorter file: it stays at 100 while the rest goes out.
    const std::string output = send.ReadAll(1s);
    EXPECT_NE(output.find("100%  " + std::to_string(expected.size()) + " bytes\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("101%"), std::string::npos);
}

TEST(VornSend, AStopSignalEndsTheUploadReleasesThePortAndReportsTheBytesSent)
{
    TempDir dir;
    const auto hex = dir.Write("long.hex", HexLines(0, 40000));
    const std::pair<int, std::string> signals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
    for (const auto& [signal, name] : signals) {
        SCOPED_TRACE(name);
        PtyPair pty;
        PtyReader reader(pty.Master());
        ChildProcess send(SendCommand("--port " + pty.Path() + " " + hex.string()));
        ASSERT_TRUE(reader.WaitFor(1000, 10s));
        send.Signal(signal);
        EXPECT_EQ(send.Wait(10s), 128 + signal);
        const std::string output = send.ReadAll(1s);
        const std::string report = "vorn-send: upload stopped by " + name + " after ";
        const std::size_t at = output.find(report);
        ASSERT_NE(at, std::string::npos) << output;
        std::size_t digits = 0;
        const std::size_t sent = std::stoul(output.substr(at + report.size()), &digits);
        EXPECT_EQ(output.substr(at + report.size() + digits), " bytes were sent\n");
        EXPECT_FALSE(PortIsExclusive(pty.Path()));
        // Every byte reported reached the line, and no other: after the last close
        // of the slave the master reads what was written, then fails.
        reader.Stop();
        pty.ReleaseSlave();
        const std::string received = reader.Bytes() + pty.Receive(SIZE_MAX, 5s);
        EXPECT_EQ(received, Stream(hex, {}).substr(0, sent));
    }
}
