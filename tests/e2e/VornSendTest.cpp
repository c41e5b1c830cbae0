// vorn-send as a program on a pseudo-terminal, and the whole path through
// scripts/run: vorn-send uploading to the simulated unit.
#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "upload/UploadStream.h"
#include <fstream>
#include <sstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <cstring>
#include <fcntl.h>

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
    WriteUploadStream(hex.string(), names, [&bytes](std::uint8_t b) { bytes += char(b); });
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

// The last line of `output` that begins with `start`.
std::string LineStarting(const std::string& output, const std::string& start)
{
    std::string found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(start))
            found = line;
    return found;
}

// The N of "... after N of M bytes were sent" at the end of `line`.
std::size_t BytesReported(const std::string& line, std::size_t total)
{
    const std::string tail = " of " + std::to_string(total) + " bytes were sent";
    if (!line.ends_with(tail))
        return SIZE_MAX;
    const std::size_t after = line.rfind(" after ", line.size() - tail.size());
    return after == std::string::npos ? SIZE_MAX : std::stoul(line.substr(after + 7));
}

} // namespace

TEST(VornSend, WrongArgumentsAndFailuresSayWhatTheyAreAbout)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", ":0400000012345678E8\n").string(), usage = "\n\nusage: vorn-send";
    const std::string none = (dir.Path() / "none.hex").string(), held = dir.Write("held.hex", "x\n").string();
    const int writer = open(held.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    const std::pair<std::vector<std::string>, std::pair<int, std::string>> cases[] = {
        {{}, {2, "vorn-send: no HEX file given" + usage}},
        {{"--port"}, {2, "vorn-send: option --port needs a value" + usage}},
        {{"--bogus", hex}, {2, "vorn-send: unknown option --bogus" + usage}},
        {{"--port", "a", "--port", "b", hex}, {2, "vorn-send: option --port given twice" + usage}},
        {{hex, "1", "2", "3", "4", "5", "6", "7", "8", "9"}, {2, "vorn-send: more than 8 names" + usage}},
        {{"--list", hex}, {2, "vorn-send: --list takes no HEX file" + usage}},
        {{"--help", "--bogus"}, {0, "usage: vorn-send [--port NAME] HEXFILE"}},
        {{none}, {1, "vorn-send: " + none + ": Plik o podanej nazwie nie istnieje!\n"}},
        {{"/dev/null"}, {1, "vorn-send: /dev/null: File access denied: a folder or a device is no HEX file\n"}},
        {{held}, {1, "vorn-send: " + held + ": I/O error 32: another program holds the file\n"}},
        // The default port, named with the device it stands for here.
        {{hex}, {1, "vorn-send: COM1 (/nonexistent/ttyNone): Unable to open com port (win error code: 2): "
                    "No such file or directory\n"}},
    };
    std::string out;
    for (const auto& [args, result] : cases) {
        EXPECT_EQ(RunProgram(SendCommand(args), 20s, &out, true), result.first);
        EXPECT_TRUE(out.starts_with(result.second) || out.ends_with(result.second)) << out;
    }
    close(writer);
    // Polish throughout, the system's explanation included (whatever language it has).
    EXPECT_EQ(RunProgram({"/usr/bin/env", "LANG=pl_PL.UTF-8", VORN_SEND_PATH, "--port", "/none", hex}, 20s, &out, true), 1);
    EXPECT_TRUE(out.starts_with("bajtów: 132, około 3 s przy 600 bit/s\n") &&
                LineStarting(out, "vorn-send: ").starts_with("vorn-send: /none: Nie można otworzyć portu (kod błędu systemu: 2): "))
        << out;
    EXPECT_EQ(RunProgram({"/usr/bin/env", "LANG=pl_PL.UTF-8", VORN_SEND_PATH, "-x"}, 20s, &out, true), 2);
    EXPECT_TRUE(out.starts_with("vorn-send: nieznana opcja -x\n\nużycie: vorn-send [--port NAZWA] PLIKHEX")) << out;
    // A line that stops taking bytes fails at the write's time-out instead of skipping the
    // byte: what went out is the stream's start, and the message says how much that was.
    const auto big = dir.Write("big.hex", HexLines(0, 40000));
    const std::string stream = Stream(big);
    PtyPair pty;
    EXPECT_EQ(RunProgram(SendCommand({"--port", pty.Path(), big}), 20s, &out, true), 1);
    EXPECT_TRUE(out.starts_with("160128 bytes, about 44 min 29 s at 600 bit/s\n")) << out.substr(0, 80);
    const std::string failure = LineStarting(out, "vorn-send: ");
    EXPECT_TRUE(failure.starts_with("vorn-send: " + pty.Path() + ": WriteFile function failed (win error code: 110): " +
                                    strerror(ETIMEDOUT) + ", after ")) << out;
    const std::string received = pty.Receive(SIZE_MAX, 300ms);
    EXPECT_GT(received.size(), 1000u);
    EXPECT_EQ(BytesReported(failure, stream.size()), received.size()) << failure;
    EXPECT_EQ(received, stream.substr(0, received.size()));
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

// Progress is a courtesy: standard error on a pipe whose reader has gone ends neither
// the upload nor the window.
TEST(Programs, AStandardErrorNoOneReadsEndsNothing)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", HexLines(0, 1000));
    int gone[2];
    ASSERT_EQ(pipe2(gone, O_CLOEXEC), 0);
    close(gone[0]);
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand({"--port", pty.Path(), hex, "Name"}), false, -1, gone[1]);
    EXPECT_EQ(send.Wait(20s), 0);
    EXPECT_EQ(Received(pty, reader), Stream(hex, {"Name"}));
    if (std::string(VORN_TRANSMITTER_PATH).empty())
        return;
    ChildProcess window({"/usr/bin/env", "-u", "DISPLAY", VORN_TRANSMITTER_PATH, "--port"}, false, -1, gone[1]);
    EXPECT_EQ(window.Wait(10s), 2);
    close(gone[1]);
}

TEST(VornSend, ReadsAFifoOrStandardInputWholeThenSendsItWithItsExactLength)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", HexLines(0, 1100)), fifo = dir.Path() / "fifo";
    const std::string stream = Stream(hex, {"Pipe"}), total = std::to_string(stream.size());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The writer comes after the upload started: the upload waits for it.
    for (const bool standardInput : {false, true}) {
        PtyPair pty;
        PtyReader reader(pty.Master());
        const int in = standardInput ? open(hex.c_str(), O_RDONLY | O_CLOEXEC) : -1;
        ChildProcess send(SendCommand({"--port", pty.Path(), standardInput ? "-" : fifo.string(), "Pipe"}), true, in);
        ChildProcess writer({"/bin/sh", "-c", "exec cat \"$0\" >\"$1\"", hex, fifo});
        EXPECT_EQ(send.Wait(20s), 0);
        const std::string output = send.Read({}, 1s);
        EXPECT_TRUE(output.starts_with(total + " bytes, about 76 s at 600 bit/s\n"
                                       "Wysyłam dane programów z szybkością 600 bit/s...\n"
                                       "[........................................]   0%  1/" + total + " bytes, "))
            << output;
        EXPECT_NE(output.find("] 100%  " + total + "/" + total + " bytes, "), std::string::npos) << output;
        EXPECT_EQ(Received(pty, reader), stream);
        if (in >= 0)
            close(in);
        else if (!writer.Wait(5s))
            ADD_FAILURE() << "the FIFO was not read";
    }
    // A stop signal ends the wait for a writer that holds the FIFO open: nothing was
    // sent and the port was never opened.
    PtyPair pty;
    ChildProcess send(SendCommand({"--port", pty.Path(), fifo}), true);
    // The writer's open returns once vorn-send has opened the FIFO to read it.
    ChildProcess writer({"/bin/sh", "-c", "exec 3>\"$1\"; cat \"$0\" >&3; echo written; exec sleep 60", hex, fifo});
    ASSERT_EQ(writer.Read("\n", 10s), "written\n");
    send.Signal(SIGHUP);
    EXPECT_EQ(send.Wait(10s), 128 + SIGHUP);
    EXPECT_EQ(send.Read({}, 1s), "vorn-send: upload stopped by SIGHUP before any byte was sent\n");
    EXPECT_NE(pty.Line().OutputSpeed, 600u);
    EXPECT_EQ(pty.Receive(1, 20ms), "");
}

// On a terminal the bar is drawn over itself with the time left at the line rate, and
// every other line stands on its own.
TEST(VornSend, ATerminalSeesTheBarAndTheTimeLeft)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", HexLines(0, 1000));
    PtyPair pty, terminal;
    PtyReader reader(pty.Master()), shown(terminal.Master());
    const int tty = open(terminal.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ChildProcess send(SendCommand({"--port", pty.Path(), hex}), false, -1, tty);
    close(tty);
    EXPECT_EQ(send.Wait(20s), 0);
    EXPECT_EQ(Received(pty, reader), Stream(hex));
    shown.Stop();
    std::string output = shown.Bytes() + terminal.Receive(SIZE_MAX, 200ms);
    for (std::size_t at; (at = output.find("\r\n")) != std::string::npos;)
        output.replace(at, 2, "\n");  // the terminal's own line ends
    const std::string bar = "[########################################] 100%  4128/4128 bytes, 0 s left";
    EXPECT_TRUE(output.starts_with("4128 bytes, about 69 s at 600 bit/s\n"
                                   "Wysyłam dane programów z szybkością 600 bit/s...\n"
                                   "\r[........................................]   0%  1/4128 bytes, 69 s left\r["))
        << output.substr(0, 300);
    EXPECT_NE(output.find("\r[####################....................]  50%  2064/4128 bytes, 35 s left\r"),
              std::string::npos);
    EXPECT_NE(output.find("4000/4128 bytes, 3 s left\n" "Wysyłam nazwy programów z szybkością 600 bit/s...\n\r["), std::string::npos)
        << output.substr(output.size() - 400);
    EXPECT_TRUE(output.ends_with("\r" + bar + "\n")) << output.substr(output.size() - 200);
    // An adapter pulled out mid-upload: the error starts a line of its own.
    PtyPair pulled;
    auto gone = std::make_unique<PtyReader>(pulled.Master());
    const int tty2 = open(terminal.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ChildProcess failing(SendCommand({"--port", pulled.Path(), hex}), false, -1, tty2);
    close(tty2);
    ASSERT_TRUE(gone->WaitFor(100, 10s));
    gone.reset();
    pulled.CloseMaster();
    EXPECT_EQ(failing.Wait(20s), 1);
    const std::string failure = terminal.Receive(SIZE_MAX, 200ms);
    EXPECT_NE(failure.find(" s left\r\nvorn-send: " + pulled.Path() + ": WriteFile function failed (win error code: 5): "),
              std::string::npos) << failure.substr(failure.size() > 300 ? failure.size() - 300 : 0);
}

TEST(VornSend, AFileChangedDuringTheUploadIsSentAsItWasWhenTheUploadBegan)
{
    TempDir dir;
    const auto hex = dir.Write("changes.hex", HexLines(0, 20000));
    const std::string stream = Stream(hex, {"Last"});
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand({"--port", pty.Path(), hex, "Last"}), true);
    ASSERT_TRUE(reader.WaitFor(4, 10s));
    std::filesystem::resize_file(hex, 1000);
    std::ofstream(hex, std::ios::binary | std::ios::app) << HexLines(50000, 10);
    EXPECT_EQ(send.Wait(60s), 0) << send.Read({}, 1s);
    EXPECT_EQ(Received(pty, reader), stream);
}

TEST(VornSend, RefusesAStreamOfMoreThanADayBeforeItOpensThePort)
{
    // 5,184,000 bytes are a day at 60 bytes a second: 128 of names and 1,295,968 words.
    TempDir dir;
    const auto hex = dir.Path() / "long.hex";
    {
        std::ofstream out(hex, std::ios::binary);
        const std::string line = ":00000000ABCD\n";
        for (int i = 0; i < 1'295'969; ++i)
            out << line;
    }
    PtyPair pty;
    std::string out;
    EXPECT_EQ(RunProgram(SendCommand({"--port", pty.Path(), hex}), 20s, &out, true), 1);
    EXPECT_EQ(out, "vorn-send: " + hex.string() + ": the upload would take more than a day at 600 bit/s "
                   "(over 5184000 bytes); nothing was sent\n");
    EXPECT_NE(pty.Line().OutputSpeed, 600u);
    EXPECT_EQ(pty.Receive(1, 20ms), "");
}

TEST(VornSend, AStopSignalEndsTheUploadBetweenTwoBytesReleasesThePortAndReportsTheBytesSent)
{
    TempDir dir;
    const auto hex = dir.Write("long.hex", HexLines(0, 40000));
    const std::string stream = Stream(hex);
    PtyPair pty;
    PtyReader reader(pty.Master());
    ChildProcess send(SendCommand({"--port", pty.Path(), hex}), true);
    ASSERT_TRUE(reader.WaitFor(1000, 10s));
    send.Signal(SIGINT);
    EXPECT_EQ(send.Wait(10s), 128 + SIGINT);
    const std::string report = LineStarting(send.Read({}, 1s), "vorn-send: ");
    ASSERT_TRUE(report.starts_with("vorn-send: upload stopped by SIGINT after ")) << report;
    const std::size_t sent = BytesReported(report, stream.size());
    EXPECT_FALSE(PortIsExclusive(pty.Path()));
    EXPECT_EQ(Received(pty, reader), stream.substr(0, sent));
}

// vorn-stream shows what vorn-send sends: both take the same argument lists the same way.
TEST(Tools, ReadTheirArgumentsByOneRuleAndAgreeOnTheBytes)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", HexLines(0, 3)).string(), dash = dir.Write("-x.hex", HexLines(7, 1)).string();
    const std::vector<std::string> lists[] = {
        {hex, "--", "-Bas"}, {hex, "--port", "x", "-o", "y", "--list", "-h", "--version"}, {"--", dash, "--", "-"},
        {"-"},  // the standard input, which holds the HEX file
    };
    for (const auto& list : lists) {
        std::vector<std::string> send{"--port"}, stream{"/usr/bin/env", "LANG=C", VORN_STREAM_PATH};
        PtyPair pty;
        PtyReader reader(pty.Master());
        send.push_back(pty.Path());
        send.insert(send.end(), list.begin(), list.end());
        stream.insert(stream.end(), list.begin(), list.end());
        const int in[2] = {open(hex.c_str(), O_RDONLY | O_CLOEXEC), open(hex.c_str(), O_RDONLY | O_CLOEXEC)};
        ChildProcess sender(SendCommand(send), true, in[0]), streamer(stream, false, in[1]);
        const std::string expected = streamer.Read({}, 10s);
        EXPECT_EQ(streamer.Wait(1s), 0);
        EXPECT_EQ(sender.Wait(20s), 0) << sender.Read({}, 1s);
        EXPECT_EQ(Received(pty, reader), expected) << list[0];
        EXPECT_GT(expected.size(), 128u);
        close(in[0]);
        close(in[1]);
    }
    // And they refuse the same lists.
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"-x", hex}, "unknown option -x"}, {{}, "no HEX file given"}, {{"--", hex, "1", "2", "3", "4", "5", "6", "7", "8", "9"}, "more than 8 names"}};
    for (const auto& [list, message] : refused) {
        std::vector<std::string> stream{"/usr/bin/env", "LANG=C", VORN_STREAM_PATH};
        stream.insert(stream.end(), list.begin(), list.end());
        std::string sent, streamed;
        EXPECT_EQ(RunProgram(SendCommand(list), 10s, &sent, true), 2);
        EXPECT_EQ(RunProgram(stream, 10s, &streamed, true), 2);
        EXPECT_TRUE(sent.starts_with("vorn-send: " + message + "\n") && streamed.starts_with("vorn-stream: " + message + "\n"))
            << sent << streamed;
    }
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
