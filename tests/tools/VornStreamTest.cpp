#include "app/UploadStream.h"

#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs vorn-stream in `dir` with `args`, LANG=C and TMPDIR inside `dir`; its output
// goes to files there.
Outcome RunTool(const TempDir& dir, std::vector<std::string> args)
{
    const fs::path out = dir.Path() / "stdout", err = dir.Path() / "stderr", spool = dir.Path() / "spool";
    fs::create_directories(spool);
    args.insert(args.begin(), VORN_STREAM_PATH);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string tmpdir = "TMPDIR=" + spool.string(), lang = "LANG=C";
    char* envp[] = {tmpdir.data(), lang.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, VORN_STREAM_PATH, &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " VORN_STREAM_PATH);

    // A hung tool is killed after the deadline rather than hanging the test.
    if (const int pidfd = int(syscall(SYS_pidfd_open, pid, 0)); pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        if (poll(&p, 1, 10000) != 1)
            kill(pid, SIGKILL);
        close(pidfd);
    }
    int status = 0;
    waitpid(pid, &status, 0);

    Outcome result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFileBytes(out);
    result.err = ReadFileBytes(err);
    EXPECT_TRUE(fs::is_empty(spool)) << "the spooled stream was left behind";
    return result;
}

std::string LibraryStream(const fs::path& hex, const TBankNames& names)
{
    std::string bytes;
    WriteUploadStream(hex, names, [&bytes](std::uint8_t b) { bytes += char(b); });
    return bytes;
}

// The folder's entries other than the runner's own files.
std::vector<std::string> Entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        if (auto n = e.path().filename().string(); n != "stdout" && n != "stderr" && n != "spool")
            names.push_back(n);
    std::sort(names.begin(), names.end());
    return names;
}

const char* const Program = ":0400000001020304F2\r\n:02000000ABCD86\r\n:00000001FF\r\n";

} // namespace

TEST(VornStream, WritesTheUploadStreamToStandardOutput)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    const Outcome r = RunTool(dir, {hex, "AB", "Zażółć gęślą jaźń"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.size(), 8 + 128u);
    EXPECT_EQ(r.out.substr(0, 8), "\x01\x02\x03\x04\xAB\xCD\x86" + std::string(1, '\0'));
    EXPECT_EQ(r.out.substr(8, 16), "AB              ");
    EXPECT_EQ(r.out.substr(24, 16), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F");
    EXPECT_EQ(r.out.substr(40), std::string(6 * 16, '\xFF'));
    EXPECT_EQ(r.out, LibraryStream(hex, {"AB", "Zażółć gęślą jaźń"}));
}

TEST(VornStream, TakesEightNamesAndOptionsAnywhere)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    const TBankNames names{"1", "2", "3", "4", "5", "6", "7", "-8"};
    const std::string expected = LibraryStream(hex, names);
    const Outcome r = RunTool(dir, {"p.hex", "1", "2", "3", "4", "5", "-o", "out.bin", "6", "7", "--", "-8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFileBytes(dir.Path() / "out.bin"), expected);
}

TEST(VornStream, OutputFileIsReplacedOnlyBySuccess)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    const auto out = dir.Write("out.bin", "old");
    Outcome r = RunTool(dir, {(dir.Path() / "missing.hex").string(), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vorn-stream: File not found\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFileBytes(out), "old");

    r = RunTool(dir, {hex, "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(out), LibraryStream(hex, {}));
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::owner_write, fs::perms::owner_write);
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"out.bin", "p.hex"}));

    r = RunTool(dir, {hex, "-o", (dir.Path() / "no-folder" / "out.bin").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vorn-stream: cannot write " + (dir.Path() / "no-folder" / "out.bin").string() +
                         ": File not found\n");
}

TEST(VornStream, UnreadableInputsPrintTheMessageAndWriteNothing)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program);
    Outcome r = RunTool(dir, {dir.Path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vorn-stream: File access denied\n");
    EXPECT_EQ(r.out, "");

    const int writer = open(hex.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    r = RunTool(dir, {hex});
    close(writer);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vorn-stream: I/O error 32\n");
    EXPECT_EQ(r.out, "");
}

TEST(VornStream, WrongArgumentsExitWithTwo)
{
    TempDir dir;
    const auto hex = dir.Write("p.hex", Program).string();
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {hex, "1", "2", "3", "4", "5", "6", "7", "8", "9"},
        {hex, "-o"},
        {hex, "-o", "a", "-o", "b"},
        {hex, "-x"},
        {"-o", "a"},
    };
    for (const auto& args : wrong) {
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
