#include "app/UploadStream.h"

#include "ChildProcess.h"
#include "TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
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
