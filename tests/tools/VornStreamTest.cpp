// vorn-stream as a program: the stream of a HEX file and eight names, its command
// line, its failures, and where -o puts the stream.
#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempDir.h"
#include <iterator>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// vorn-stream's exit status, its standard output and error in `out`. It spools in
// `dir`, and must leave nothing there.
std::optional<int> RunTool(const TempDir& dir, std::vector<std::string> args, std::string& out)
{
    const fs::path spool = dir.Path() / "spool";
    fs::create_directories(spool);
    args.insert(args.begin(), {"/usr/bin/env", "TMPDIR=" + spool.string(), "LANG=C", VORN_STREAM_PATH});
    const auto status = RunProgram(args, 10s, &out, true);
    EXPECT_TRUE(fs::is_empty(spool)) << "the spooled stream was left behind";
    fs::remove(spool);
    return status;
}

std::string Word(unsigned a, unsigned b, unsigned c, unsigned d) { return {char(a), char(b), char(c), char(d)}; }

std::string Entry(std::string bytes)
{
    return bytes.empty() ? std::string(16, '\xFF') : bytes.append(16 - bytes.size(), ' ');
}

// Nothing but what the test made is left in `dir`.
std::ptrdiff_t Entries(const TempDir& dir) { return std::distance(fs::directory_iterator(dir.Path()), {}); }

const char* const Program = ":0400000001020304F2\r\n:02000000ABCD86\r\n:00000001FF\r\n";
const std::string ProgramWords = Word(1, 2, 3, 4) + Word(0xAB, 0xCD, 0x86, 0);

} // namespace

TEST(VornStream, WritesCharactersTenToSeventeenOfEveryLongerLineThenTheEightNames)
{
    const std::pair<std::string, std::string> lines[] = {
        {"123456789ABC", ""},                       // 12 characters: not taken
        {":0100000012AB", Word(0x12, 0xAB, 0, 0)},  // 13: taken, positions past the end count 0
        {":0100000012AB3", Word(0x12, 0xAB, 0x30, 0)}, {":00000001FF", ""},
        {":020000040800F2", Word(0x08, 0x00, 0xF2, 0)},
        {":10010000214601360121470136007EFE09D2190140", Word(0x21, 0x46, 0x01, 0x36)},
        {"  :10010000214601360121470136007EFE09D2190140", Word(0x00, 0x21, 0x46, 0x01)},  // blanks shift it
        {":0400000089ABCDEF", Word(0x89, 0xAB, 0xCD, 0xEF)}, {":04000000dEaDbEeF", Word(0xDE, 0xAD, 0xBE, 0xEF)},
        // Any other character counts 0: the digits' neighbours, letters past F, high bytes, NUL.
        {"         G77g/:@`", Word(0x07, 0x70, 0, 0)},
        {std::string(9, '\0') + "\xC1\xE6" + std::string(1, '\0') + "5\x01" "2\t4", Word(0, 0x05, 0x02, 0x04)},
        {":04000000DEADBEEF" + std::string(1000, 'Z'), Word(0xDE, 0xAD, 0xBE, 0xEF)},
    };
    const std::string euros = "€€€€€€€€€€€€€€€";  // 15, three bytes of UTF-8 each, one of CP1250
    const std::pair<std::string, std::string> names[] = {
        {"Prog ±5°°°°°°°°°°", "Prog \xB1" "5" + std::string(9, '\xB0')}, {"", ""}, {" ", " "},
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOP"},
        // 17 characters in 26 bytes (and above): the 17th character, not the 17th byte, is dropped.
        {"Zażółć gęślą jaźń", "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F"},
        // What CP1250 lacks, and each byte that is no UTF-8, is one '?' and one character.
        {"A日B\xFF" "C\xC5", "A?B?C?"}, {"€\xC5" + euros, "\x80?" + std::string(14, '\x80')},
        {std::string(14, 'a') + "\xE2\x82xyz", std::string(14, 'a') + "??"},  // a sequence cut at the end
    };
    TempDir dir;
    std::string text, expected, out;
    std::vector<std::string> args{""};
    for (const auto& [line, word] : lines) {
        text += line + "\r\n";
        expected += word;
    }
    for (const auto& [name, entry] : names) {
        args.push_back(name);
        expected += Entry(entry);
    }
    args[0] = dir.Write("p.hex", text + "\x1A:0400000001020304\n");  // nothing after a Ctrl-Z counts
    EXPECT_EQ(RunTool(dir, args, out), 0);
    EXPECT_EQ(out, expected);
}

// Longer than what is written at a time, through every kind of output.
TEST(VornStream, ALongStreamArrivesWholeAndOnceOnEveryOutput)
{
    TempDir dir;
    std::string text, expected;
    for (unsigned i = 0; i < 40000; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, ":04000000%08X00\n", i);
        text += line;
        expected += Word(i >> 24, i >> 16 & 255, i >> 8 & 255, i & 255);
    }
    expected += std::string(128, '\xFF');
    const std::string hex = dir.Write("long.hex", text).string(), out = (dir.Path() / "out.bin").string();
    std::string written;
    EXPECT_EQ(RunTool(dir, {hex}, written), 0);
    EXPECT_TRUE(written == expected) << written.size();
    EXPECT_EQ(RunTool(dir, {"-o", out, hex}, written), 0);
    EXPECT_TRUE(ReadFileBytes(out) == expected);
}

TEST(VornStream, FailuresSayWhatTheyAreAboutAndLeaveTheOutputAlone)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", Program), held = dir.Write("held.hex", Program),
                      out = dir.Write("out.bin", "old"), usage = "\nTry 'vorn-stream --help'.\n";
    const int writer = open(held.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    const std::string missing = (dir.Path() / "missing.hex").string(), folder = dir.Path().string();
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"-o", out, missing}, missing + ": File not found: No such file or directory\n"},
        {{"-o", out, folder}, folder + ": File access denied: a folder or a device is no HEX file\n"},
        {{"-o", out, "/dev/null"}, "/dev/null: File access denied: a folder or a device is no HEX file\n"},
        {{"-o", out, "/proc/self/mem"}, "/proc/self/mem: I/O error 5: Input/output error\n"},  // reading at offset 0 fails
        {{"-o", out, held}, held + ": I/O error 32: another program holds the file\n"},
        {{"-o", hex + "x/out.bin", hex}, "cannot write " + hex + "x/out.bin: File not found: No such file or directory\n"},
        // The output is looked at before the input.
        {{"-o", hex + "/out.bin", held + "x"}, "cannot write " + hex + "/out.bin: Invalid filename: Not a directory\n"},
        {{}, "no HEX file given" + usage}, {{"-o", out}, "no HEX file given" + usage},
        {{hex, "1", "2", "3", "4", "5", "6", "7", "8", "9"}, "more than 8 names" + usage},
        {{"-o"}, "option -o needs a value" + usage}, {{"-o", out, "-o", out, hex}, "option -o given twice" + usage},
        {{"-x", hex}, "unknown option -x" + usage},
    };
    std::string text;
    for (const auto& [args, message] : failures) {
        EXPECT_EQ(RunTool(dir, args, text), message.ends_with(usage) ? 2 : 1);
        EXPECT_EQ(text, "vorn-stream: " + message);
        EXPECT_EQ(ReadFileBytes(out), "old");
    }
    close(writer);
    // A temporary file that cannot be made is named as such, not as the output.
    EXPECT_EQ(RunProgram({"/usr/bin/env", "TMPDIR=/nonexistent", "LANG=C", VORN_STREAM_PATH, hex}, 10s, &text, true), 1);
    EXPECT_EQ(text, "vorn-stream: cannot keep the stream in a temporary file in /nonexistent: File not found: "
                    "No such file or directory\n");
    EXPECT_EQ(Entries(dir), 3);
}

TEST(VornStream, RefusesToWriteOverItsInputHoweverTheOutputNamesIt)
{
    TempDir dir;
    const fs::path hex = dir.Write("p.hex", Program), link = dir.Path() / "link.hex", hard = dir.Path() / "hard.hex";
    fs::create_symlink("p.hex", link);
    fs::create_hard_link(hex, hard);
    for (const fs::path& output : {hex, link, hard}) {
        std::string out;
        EXPECT_EQ(RunTool(dir, {"-o", output, hex}, out), 1);
        EXPECT_EQ(out, "vorn-stream: cannot write " + output.string() + ": it is the HEX file being read\n");
        // The same file as the standard input.
        const int in = open(hex.c_str(), O_RDONLY | O_CLOEXEC);
        ChildProcess tool({VORN_STREAM_PATH, "-o", output, "-"}, true, in);
        EXPECT_EQ(tool.Wait(10s), 1);
        EXPECT_EQ(tool.Read({}, 1s), "vorn-stream: cannot write " + output.string() + ": it is the HEX file being read\n");
        close(in);
    }
    // A FIFO read is no FIFO to write into: the stream would go back to its reader.
    const fs::path fifo = dir.Path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string out;
    EXPECT_EQ(RunTool(dir, {"-o", fifo, fifo}, out), 1);
    EXPECT_EQ(out, "vorn-stream: cannot write " + fifo.string() + ": it is the HEX file being read\n");
    EXPECT_EQ(ReadFileBytes(hex), Program);
    EXPECT_TRUE(fs::is_symlink(link) && fs::equivalent(hard, hex));
    EXPECT_EQ(Entries(dir), 4);
}

TEST(VornStream, OutputThatIsNoRegularFileKeepsWhatItIs)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    const std::string stream = ProgramWords + std::string(128, '\xFF');
    const fs::path real = dir.Write("real.bin", "old"), link = dir.Path() / "link", dangling = dir.Path() / "dangling",
                   fifo = dir.Path() / "fifo", device = dir.Path() / "null", folder = dir.Path() / "folder",
                   socketPath = dir.Path() / "socket";
    fs::create_symlink("real.bin", link);
    fs::create_symlink("made.bin", dangling);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    sockaddr_un address{AF_UNIX, {}};
    socketPath.string().copy(address.sun_path, sizeof address.sun_path - 1);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(sock);
    // A copy of /dev/null's node, where the test may make one (as root).
    const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    // Links lead to the file that gets the stream; the links stay links. A FIFO is
    // written into once its reader comes, and a device as it is.
    auto fromFifo = std::async(std::launch::async, [&] {
        std::string text;
        RunProgram({"/bin/cat", fifo}, 10s, &text);
        return text;
    });
    std::string out;
    for (const fs::path& target : {link, dangling, fifo, haveDevice ? device : link})
        EXPECT_EQ(RunTool(dir, {"-o", target, hex}, out), 0) << target << out;
    EXPECT_EQ(ReadFileBytes(real), stream);
    EXPECT_EQ(ReadFileBytes(dir.Path() / "made.bin"), stream);
    const mode_t mask = umask(0);  // a new file gets the mode the user's umask gives
    umask(mask);
    EXPECT_EQ(fs::status(dir.Path() / "made.bin").permissions(), fs::perms(0666 & ~mask));
    EXPECT_EQ(fromFifo.get(), stream);
    for (const fs::path& refused : {folder, socketPath}) {
        EXPECT_EQ(RunTool(dir, {"-o", refused, hex}, out), 1);
        EXPECT_EQ(out, "vorn-stream: cannot write " + refused.string() +
                           ": not a regular file, FIFO or character device\n");
    }
    // A FIFO that is something else once the stream is made is refused then.
    const fs::path input = dir.Path() / "input", other = dir.Path() / "other";
    ASSERT_EQ(mkfifo(input.c_str(), 0600) | mkfifo(other.c_str(), 0600), 0);
    ChildProcess tool({VORN_STREAM_PATH, "-o", other, input}, true);
    int in = -1;  // opens once vorn-stream reads, which it does after choosing its output
    for (int i = 0; i < 1000 && in < 0 && !tool.Wait(10ms); ++i)
        in = open(input.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    fs::remove(other);
    dir.Write("other", "regular");
    ASSERT_EQ(write(in, Program, std::strlen(Program)), ssize_t(std::strlen(Program)));
    close(in);
    EXPECT_EQ(tool.Wait(10s), 1);
    EXPECT_EQ(tool.Read({}, 1s),
              "vorn-stream: cannot write " + other.string() + ": not a FIFO or character device any more\n");
    EXPECT_EQ(ReadFileBytes(other), "regular");
    // A terminal as standard output gets no bytes: they would only garble it.
    PtyPair pty;
    ChildProcess onTerminal({"/bin/sh", "-c", "exec \"$0\" \"$1\" >\"$2\"", VORN_STREAM_PATH, hex, pty.Path()}, true);
    EXPECT_EQ(onTerminal.Wait(10s), 1);
    EXPECT_EQ(onTerminal.Read({}, 1s), "vorn-stream: cannot write standard output: it is a terminal, which would show "
                                       "the bytes as garbage (use -o OUT or a pipe)\n");
    EXPECT_EQ(pty.Receive(1, 20ms), "");
    EXPECT_TRUE(fs::is_symlink(link) && fs::is_symlink(dangling) && fs::is_fifo(fifo) && fs::is_empty(folder) &&
                fs::is_socket(socketPath) && (!haveDevice || fs::is_character_file(device)));
    EXPECT_EQ(Entries(dir), haveDevice ? 11 : 10);  // with made.bin
}
