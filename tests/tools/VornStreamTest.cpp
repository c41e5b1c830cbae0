#include "app/UploadStream.h"

#include "ChildProcess.h"
#include "TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    std::optional<int> status;
    std::string out, err;
};

// Runs vorn-stream in `dir` with LANG=C and TMPDIR inside `dir`; the spool must be left empty.
Outcome RunTool(const TempDir& dir, const std::vector<std::string>& args)
{
    const fs::path spool = dir.Path() / "spool", err = spool.parent_path() / "stderr";
    fs::create_directories(spool);
    std::vector<std::string> argv{"/bin/sh", "-c", "cd \"$0\" && exec \"$@\" 2>\"$0/stderr\"", dir.Path(),
                                  VORN_STREAM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    Outcome r;
    r.status = RunProgram(argv, {{"TMPDIR", spool.string()}, {"LANG", "C"}}, 10s, &r.out);
    r.err = ReadFileBytes(err);
    EXPECT_TRUE(fs::is_empty(spool)) << "the spooled stream was left behind";
    fs::remove_all(spool);
    fs::remove(err);
    return r;
}

std::string LibraryStream(const fs::path& hex, const TBankNames& names)
{
    std::string bytes;
    WriteUploadStream(hex, names, [&bytes](std::uint8_t b) { bytes += char(b); });
    return bytes;
}

std::vector<std::string> Entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Everything written into a FIFO until its writer closes; a writer that never
// comes gives what arrived in `within`.
std::string ReadFifo(const fs::path& fifo, std::chrono::milliseconds within)
{
    const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const auto deadline = std::chrono::steady_clock::now() + within;
    std::string bytes;
    char chunk[4096];
    for (pollfd in{fd, POLLIN, 0}; fd >= 0 && std::chrono::steady_clock::now() < deadline;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (poll(&in, 1, int(left.count()) + 1) <= 0)
            continue;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n == 0)
            break;
        if (n > 0)
            bytes.append(chunk, std::size_t(n));
    }
    close(fd);
    return bytes;
}

void MakeSocket(const fs::path& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

const char* const Program = ":0400000001020304F2\r\n:02000000ABCD86\r\n:00000001FF\r\n";

} // namespace

TEST(VornStream, WritesTheUploadStreamToStandardOutputOrAFile)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    Outcome r = RunTool(dir, {hex, "AB", "Zażółć gęślą jaźń"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.size(), 8 + 128u);
    EXPECT_EQ(r.out.substr(0, 24), "\x01\x02\x03\x04\xAB\xCD\x86" + std::string(1, '\0') + "AB              ");
    EXPECT_EQ(r.out.substr(24, 16), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F");
    EXPECT_EQ(r.out.substr(40), std::string(6 * 16, '\xFF'));
    EXPECT_EQ(r.out, LibraryStream(hex, {"AB", "Zażółć gęślą jaźń"}));
    // Eight names, options anywhere, "--" before a name that looks like one.
    r = RunTool(dir, {"p.hex", "1", "2", "3", "4", "5", "-o", "out.bin", "6", "7", "--", "-8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFileBytes(dir.Path() / "out.bin"), LibraryStream(hex, {"1", "2", "3", "4", "5", "6", "7", "-8"}));
}

TEST(VornStream, FailuresPrintTheMessageAndLeaveTheOutputAlone)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    const auto out = dir.Write("out.bin", "old");
    const auto noFolder = dir.Path() / "no-folder" / "out.bin";
    const int writer = open(hex.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{(dir.Path() / "missing.hex").string(), "-o", out}, "File not found"},
        {{dir.Path().string(), "-o", out}, "File access denied"},
        {{hex, "-o", out}, "I/O error 32"},  // locked by a writer
    };
    for (const auto& [args, message] : failures) {
        const Outcome r = RunTool(dir, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "vorn-stream: " + message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadFileBytes(out), "old");
    }
    close(writer);
    Outcome r = RunTool(dir, {hex, "-o", noFolder});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vorn-stream: cannot write " + noFolder.string() + ": File not found\n");
    r = RunTool(dir, {hex, "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(out), LibraryStream(hex, {}));
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::owner_write, fs::perms::owner_write);
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"out.bin", "p.hex"}));
}

TEST(VornStream, WrongArgumentsExitWithTwoAndHelpExplains)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", Program).string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {hex, "1", "2", "3", "4", "5", "6", "7", "8", "9"}, {hex, "-o"}, {hex, "-o", "a", "-o", "b"},
             {hex, "-x"}, {"-o", "a"}}) {
        const Outcome r = RunTool(dir, args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("vorn-stream --help"), std::string::npos);
    }
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"p.hex"});
    const Outcome help = RunTool(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: vorn-stream HEXFILE", 0), 0u);
}

TEST(VornStream, OutputThatIsNoRegularFileKeepsWhatItIs)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    const std::string stream = LibraryStream(hex, {});
    const fs::path real = dir.Write("real.bin", "old"), link = dir.Path() / "link", dangling = dir.Path() / "dangling",
                   fifo = dir.Path() / "fifo", device = dir.Path() / "null", folder = dir.Path() / "folder",
                   socketPath = dir.Path() / "socket";
    fs::create_symlink("real.bin", link);
    fs::create_symlink("made.bin", dangling);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    MakeSocket(socketPath);
    // A copy of /dev/null's node, where the test may make one (as root).
    const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    // Links lead to the file that gets the stream; the links stay links.
    EXPECT_EQ(RunTool(dir, {hex, "-o", link}).status, 0);
    EXPECT_EQ(RunTool(dir, {hex, "-o", dangling}).status, 0);
    EXPECT_TRUE(fs::is_symlink(link) && fs::is_symlink(dangling));
    EXPECT_EQ(ReadFileBytes(real), stream);
    EXPECT_EQ(ReadFileBytes(dir.Path() / "made.bin"), stream);

    auto fromFifo = std::async(std::launch::async, ReadFifo, fifo, 10s);
    EXPECT_EQ(RunTool(dir, {hex, "-o", fifo}).status, 0);
    EXPECT_EQ(fromFifo.get(), stream);
    EXPECT_TRUE(fs::is_fifo(fifo));
    if (haveDevice) {
        EXPECT_EQ(RunTool(dir, {hex, "-o", device}).status, 0);
        EXPECT_TRUE(fs::is_character_file(device));
    }

    for (const fs::path& refused : {folder, socketPath}) {
        const Outcome r = RunTool(dir, {hex, "-o", refused});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "vorn-stream: cannot write " + refused.string() + ": not a regular file, FIFO or character device\n");
    }
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_TRUE(fs::is_socket(socketPath));
    std::vector<std::string> expected{"dangling", "fifo", "folder", "link", "made.bin", "p.hex", "real.bin", "socket"};
    if (haveDevice)
        expected.insert(expected.begin() + 5, "null");
    EXPECT_EQ(Entries(dir), expected);
}
