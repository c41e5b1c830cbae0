#include "app/UploadStream.h"

#include "runtime/Exception.h"
#include "TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <random>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Every line, asking the at-end test twice each time: asking must not move the reader.
Lines ReadAll(const std::filesystem::path& path, std::size_t bufferSize)
{
    HexFileReader reader(path, bufferSize);
    Lines lines;
    while (!reader.Eof() && !reader.Eof())
        lines.emplace_back(reader.ReadLine());
    reader.Close();
    return lines;
}

// The code of the EInOutError that `action` raises; -1 when it raises none.
int ErrorCodeOf(const std::function<void()>& action, std::string* message = nullptr)
{
    try {
        action();
    } catch (const EInOutError& e) {
        if (message)
            *message = e.Message();
        return e.ErrorCode();
    }
    return -1;
}

// Opens `path` in a child process after `prepare` has run there, so that limits
// and identities can change without touching the test process. Gives the error code.
int OpenCodeInChild(const std::string& path, const std::function<void()>& prepare)
{
    const pid_t pid = fork();
    if (pid == 0) {
        prepare();
        const int code = ErrorCodeOf([&] { HexFileReader reader(path); });
        _exit(code < 0 ? 0 : code > 254 ? 255 : code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CanLock(const std::filesystem::path& path, int how)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool locked = flock(fd, how | LOCK_NB) == 0;
    close(fd);
    return locked;
}

} // namespace

TEST(HexFileReader, LineEndsCtrlZAndOrdinaryBytesAtEveryBufferBoundary)
{
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"", {}}, {"\n", {""}}, {"a\nb\n", {"a", "b"}}, {"a\r\nb\r\n", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}}, {"a\n\r\nb\n\n", {"a", "", "b", ""}},
        // Ctrl-Z at the start of a line ends the file.
        {"\x1A" "a\n", {}}, {"a\n\x1A", {"a"}}, {"a\r\n\x1A" "b\r\n", {"a"}},
        // Inside a line it ends the line's text; a further one in the skipped rest ends the file.
        {"ab\x1A", {"ab"}}, {"ab\x1A" "cd\nef\n", {"ab", "ef"}}, {"ab\x1A" "cd\ref", {"ab", "ef"}},
        {"ab\x1A\r\nef", {"ab", "ef"}}, {"ab\x1A" "c\x1A" "d\nef\n", {"ab"}},
        // NUL and every other byte are characters.
        {std::string("a\0b\n\0\n", 6), {std::string("a\0b", 3), std::string(1, '\0')}},
        {"\t\x01\x1B\x7F\x80\xFF\n", {"\t\x01\x1B\x7F\x80\xFF"}},
    };
    TempDir dir;
    for (const std::size_t bufferSize : {std::size_t(1), std::size_t(2), std::size_t(3), HexFileReader::DefaultBufferSize}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "buffer " << bufferSize << ", bytes \"" << c.bytes << '"');
            EXPECT_EQ(ReadAll(dir.Write("lines.hex", c.bytes), bufferSize), c.lines);
        }
    }
}

TEST(HexFileReader, WideScanAgreesWithReadingByteByByte)
{
    // Lines of every length up to 150 holding tabs, NULs, high bytes, the odd
    // Ctrl-Z and all three line ends: the fast scan must find exactly the ends
    // that reading one byte at a time finds.
    std::mt19937 random(7);
    const char fill[] = {'A', '0', ':', '\t', '\0', '\x1B', '\x80', '\xFF'};
    const char* const ends[] = {"\n", "\r\n", "\r"};
    std::string text;
    for (int length = 0; length < 150; ++length) {
        for (int i = 0; i < length; ++i)
            text += (length % 37 == 5 && i == length / 2) ? '\x1A' : fill[random() % std::size(fill)];
        text += ends[length % 3];
    }
    TempDir dir;
    const auto path = dir.Write("mixed.hex", text);
    const Lines wide = ReadAll(path, HexFileReader::DefaultBufferSize);
    EXPECT_EQ(wide.size(), 150u);
    EXPECT_EQ(wide, ReadAll(path, 1));
}

TEST(HexFileReader, LongLinesKeepABoundedPrefixAndLoseNothingAfter)
{
    TempDir dir;
    const std::string head = ":10000000DEADBEEF";
    const std::string longLine = head + std::string(300000, '7');
    const auto path = dir.Write("long.hex", longLine + "\r\n" + longLine + "\x1A" "xx\r\nlast");
    for (const std::size_t bufferSize : {std::size_t(7), HexFileReader::DefaultBufferSize}) {
        const Lines lines = ReadAll(path, bufferSize);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], longLine.substr(0, HexFileReader::KeptLineLength));
        EXPECT_EQ(lines[1], lines[0]);
        EXPECT_EQ(lines[2], "last");
    }
}

TEST(HexFileReader, ReadingPastTheEndRaisesAndReopeningStartsOver)
{
    TempDir dir;
    const auto path = dir.Write("one.hex", "only\n");
    HexFileReader reader(path);
    EXPECT_EQ(reader.ReadLine(), "only");
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { reader.ReadLine(); }, &message), 100);
    EXPECT_EQ(message, "Read beyond end of file");
    reader.Close();
    reader.Close();
    EXPECT_NE(ErrorCodeOf([&] { reader.ReadLine(); }), -1);
    reader.Open(path);
    EXPECT_EQ(reader.ReadLine(), "only");
}

TEST(HexFileReader, HoldsASharedLockWhileOpenAndRespectsAWritersLock)
{
    TempDir dir;
    const auto path = dir.Write("locked.hex", "x\n");
    {
        HexFileReader reader(path);
        EXPECT_TRUE(CanLock(path, LOCK_SH));   // other readers are welcome
        EXPECT_FALSE(CanLock(path, LOCK_EX));  // a writer is kept out
        reader.Close();
        EXPECT_TRUE(CanLock(path, LOCK_EX));
        reader.Open(path);
    }
    EXPECT_TRUE(CanLock(path, LOCK_EX));  // the destructor released it
    const int writer = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { HexFileReader reader(path); }, &message), 32);
    EXPECT_EQ(message, "I/O error 32");
    close(writer);
    EXPECT_EQ(ErrorCodeOf([&] { HexFileReader reader(path); }), -1);
}

TEST(HexFileReader, FailuresCarryTheirCodeAndMessage)
{
    TempDir dir;
    const auto file = dir.Write("a.hex", "x\n");
    const struct {
        std::string path;
        int code;
        const char* message;
    } cases[] = {
        {(dir.Path() / "missing.hex").string(), 2, "File not found"},
        {"", 2, "File not found"},
        {(file / "x.hex").string(), 3, "Invalid filename"},
        {(dir.Path() / std::string(300, 'n')).string(), 3, "Invalid filename"},
        {dir.Path().string(), 5, "File access denied"},  // a folder or a device is no file
        {"/dev/null", 5, "File access denied"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(ErrorCodeOf([&] { HexFileReader r(c.path); }, &message), c.code) << c.path;
        EXPECT_EQ(message, c.message) << c.path;
    }
    // Reading a process's memory at offset 0 fails with EIO, errno 5: not "File access denied".
    HexFileReader reader("/proc/self/mem");
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { reader.Eof(); }, &message), EIO);
    EXPECT_EQ(message, "I/O error 5");
}

TEST(HexFileReader, PermissionAndDescriptorLimitsMapOntoTheTable)
{
    TempDir dir;
    const auto file = dir.Write("secret.hex", "x\n");
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    // Root reads anything; an ordinary user is needed to be refused.
    EXPECT_EQ(OpenCodeInChild(file, [] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(254);
    }), 5);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(OpenCodeInChild(file, [] {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_NOFILE, &none);
    }), 4);
}
