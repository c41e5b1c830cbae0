// vorn-send as a program on a pseudo-terminal, and the whole path through
// scripts/run: vorn-send uploading to the simulated unit.
#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "app/UploadStream.h"
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

namespace {

// COM1, the default port, names no device here: a send that lost its --port must not reach a console.
std::vector<std::string> SendCommand(std::vector<std::string> args)
{
    args.insert(args.begin(), {"/usr/bin/env", "COM1_DEVICE=/nonexistent/ttyNone", VORN_SEND_PATH});
    return args;
}

// `count` program lines of a distinct word each.
std::string HexLines(std::size_t first, std::size_t count)
{
    std::string text;
    for (std::size_t i = first; i < first + count; ++i)
        text += ":04000000" + std::to_string(10000000 + i) + "\r\n";
    return text;
}

std::string Stream(const std::filesystem::path& hex, const TBankNames& names = {})
{
    std::string bytes;
    WriteUploadStream(hex, names, [&bytes](std::uint8_t b) { bytes += char(b); });
    return bytes;
}

// All the device received once the program has closed it: after the slave's last
// close the master reads what was written, then fails.
std::string Received(PtyPair& pty, PtyReader& reader)
{
    reader.Stop();
    pty.ReleaseSlave();
    return reader.Bytes() + pty.Receive(SIZE_MAX, 5s);
}

} // namespace

TEST(VornSend, WrongArgumentsAndFailuresExitWithTheirStatusAndMessage)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", ":0400000012345678E8\n").string(), usage = "usage: vorn-send";
    const std::pair<std::vector<std::string>, std::pair<int, std::string>> cases[] = {
        {{}, {2, usage}}, {{"--port"}, {2, usage}}, {{"--bogus", hex}, {2, usage}}, {{"-"}, {1, "nie istnieje"}},
        {{hex, "1", "2", "3", "4", "5", "6", "7", "8", "9"}, {2, usage}}, {{"--help"}, {0, "--port NAME"}},
        {{"--list", "--bogus"}, {0, ""}},  // what it lists is the machine's; the list is tried on its own
        {{(dir.Path() / "none.hex").string()}, {1, "vorn-send: Plik o podanej nazwie nie istnieje!\n"}},
        {{hex}, {1, "vorn-send: Unable to open com port (win error code: 2)\n"}},
    };
    std::string out;
    for (const auto& [args, result] : cases) {
        EXPECT_EQ(RunProgram(SendCommand(args), 20s, &out, true), result.first);
        EXPECT_NE(out.find(result.second), std::string::npos) << out;
    }
    EXPECT_EQ(RunProgram({"/usr/bin/env", "LANG=pl_PL.UTF-8", VORN_SEND_PATH, "--port", "/none", hex}, 20s, &out, true), 1);
    EXPECT_EQ(out, "vorn-send: Nie można otworzyć portu (kod błędu systemu: 2)\n");  // the catalogue beside it
    // A line that stops taking bytes fails at the write's time-out instead of skipping
    // the byte: what went out is the stream's start.
    const auto big = dir.Write("big.hex", HexLines(0, 40000));
    PtyPair pty;
    EXPECT_EQ(RunProgram(SendCommand({"--port", pty.Path(), big}), 20s, &out, true), 1);
    EXPECT_NE(out.find("vorn-send: WriteFile function failed (win error code: 110)\n"), std::string::npos) << out;
    const std::string received = pty.Receive(SIZE_MAX, 300ms);
    EXPECT_GT(received.size(), 1000u);
    EXPECT_EQ(received, Stream(big).substr(0, received.size()));
}

// Before anything else, the window before it needs a display.
TEST(Programs, EachTellsItsVersionAndUsage)
{
    std::string out;
    for (const std::string program : {VORN_SEND_PATH, VORN_STREAM_PATH, VORN_UNIT_PATH, VORN_TRANSMITTER_PATH}) {
        if (program.empty())
            continue;  // a build without the window
        EXPECT_EQ(RunProgram({"/usr/bin/env", "-u", "DISPLAY", program, "--version"}, 10s, &out), 0);
        EXPECT_EQ(out, std::filesystem::path(program).filename().string() + " " VORN_VERSION "\n");
        EXPECT_EQ(RunProgram({"/usr/bin/env", "-u", "DISPLAY", program, "--help"}, 10s, &out), 0);
        EXPECT_NE(out.find("--help"), std::string::npos) << out;
    }
}

TEST(VornSend, WaitsForAFifosWriterReadsItOnceAndShowsTheBytesSent)
{
    // The writer comes after the upload started, writes 1100 lines and holds the FIFO
    // open: the upload waits for it, and a stop signal ends the wait for more.
    TempDir dir;
    const auto hex = dir.Write("p.hex", HexLines(0, 1100)), fifo = dir.Path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand({"--port", pty.Path(), fifo, "Pipe"}), true);
    ChildProcess writer({"/bin/sh", "-c", "exec 3>\"$1\"; cat \"$0\" >&3; exec sleep 60", hex, fifo});
    ASSERT_TRUE(reader.WaitFor(4400, 10s));
    send.Signal(SIGHUP);
    EXPECT_EQ(send.Wait(10s), 128 + SIGHUP);
    // Without a total a log shows the bytes sent every 4 KiB.
    EXPECT_EQ(send.Read({}, 1s), "Wysyłam dane programów z szybkością 600 bit/s...\n4096 bytes sent\n"
                                 "vorn-send: upload stopped by SIGHUP after 4400 bytes were sent\n");
    EXPECT_FALSE(PortIsExclusive(pty.Path()));
    EXPECT_EQ(Received(pty, reader), Stream(hex).substr(0, 4400));
}

TEST(VornSend, AFileThatGrowsDuringTheUploadIsSentAsReadAndTheNamesFollow)
{
    TempDir dir;
    const auto hex = dir.Write("grows.hex", HexLines(0, 40000));
    const std::string counted = std::to_string(Stream(hex, {"Last"}).size());
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand({"--port", pty.Path(), hex, "Last"}), true);
    // The reader is far from the end of the file: what is appended now is read too.
    ASSERT_TRUE(reader.WaitFor(4, 10s));
    std::ofstream(hex, std::ios::binary | std::ios::app) << HexLines(40000, 1000);
    EXPECT_EQ(send.Wait(60s), 0);
    const std::string expected = Stream(hex, {"Last"}), output = send.Read({}, 1s),
                      bar = "[########################################] 100%  ";
    EXPECT_EQ(Received(pty, reader), expected);
    // A log gets a line a tenth, and the phase's last count before the next status; the
    // percentage counted for the shorter file stays at 100 while the rest goes out.
    for (const std::string& part : {"Wysyłam dane programów z szybkością 600 bit/s...\n"
                                    "[........................................]   0%  1/" + counted + " bytes\n",
                                    "] 100%  " + counted + "/" + counted + " bytes\n",
                                    "] 100%  164000 bytes\nWysyłam nazwy programów z szybkością 600 bit/s...\n" + bar,
                                    bar + std::to_string(expected.size()) + " bytes\n"})
        EXPECT_NE(output.find(part), std::string::npos) << part << output;
    EXPECT_EQ(output.find("101%"), std::string::npos);
    EXPECT_EQ(output.find('\r'), std::string::npos);
}

TEST(VornSend, AStopSignalEndsTheUploadBetweenTwoBytesReleasesThePortAndReportsTheBytesSent)
{
    TempDir dir;
    const auto hex = dir.Write("long.hex", HexLines(0, 40000));
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand({"--port", pty.Path(), hex}), true);
    ASSERT_TRUE(reader.WaitFor(1000, 10s));
    send.Signal(SIGINT);
    EXPECT_EQ(send.Wait(10s), 128 + SIGINT);
    const std::string output = send.Read({}, 1s), report = "vorn-send: upload stopped by SIGINT after ";
    const std::size_t found = output.find(report), at = found + report.size();
    ASSERT_NE(found, std::string::npos) << output;
    std::size_t digits = 0;
    const std::size_t sent = std::stoul(output.substr(at), &digits);
    EXPECT_EQ(output.substr(at + digits), " bytes were sent\n");
    EXPECT_FALSE(PortIsExclusive(pty.Path()));
    EXPECT_EQ(Received(pty, reader), Stream(hex).substr(0, sent));
}

TEST(UploadEndToEnd, HeadlessRunUploadsTheDemoToTheSimulatedUnit)
{
    std::string out;
    EXPECT_EQ(RunProgram({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", VORN_SOURCE_DIR "/scripts/run",
                          "--no-build", "--build-dir", VORN_BINARY_DIR}, 120s, &out), 0);
    // demo.hex: an extended address record and 60 data records give 61 words.
    EXPECT_NE(out.find("no display"), std::string::npos) << out;
    EXPECT_NE(out.find("line: 600 bit/s, 8 data bits, no parity, 1 stop bit\n"
                       "upload 1 ended (port closed): 372 bytes, 61 program words\n"
                       "  Prog.1: Sinus 480\n  Prog.2: Bas\n  Prog.3: Organy\n  Prog.4: Pad\n"
                       "  Prog.5:\n  Prog.6:\n  Prog.7:\n  Prog.8: Zażółć gęślą\n"), std::string::npos) << out;
}
