#include "app/UploadStream.h"

#include "runtime/Exception.h"
#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <stdexcept>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes StreamOf(const std::filesystem::path& path, const TBankNames& names = {})
{
    Bytes out;
    WriteUploadStream(path, names, [&out](std::uint8_t b) { out.push_back(b); });
    return out;
}

const char* const Program[] = {
    ":020000040000FA",
    ":1000000001020304A5A6A7A8A9AAABACADAEAFB0E8",
    "  :short",
    ":03001000C0FFEE40",
    ":00000001FF",
    ":01002000AB34",  // after the end record: still read and sent
};

std::string Join(const char* lineEnd, const char* tail = "")
{
    std::string text;
    for (const char* line : Program)
        text += std::string(line) + lineEnd;
    return text + tail;
}

} // namespace

TEST(UploadStream, ProgramWordsInFileOrderThenTheNameTable)
{
    TempDir dir;
    const TBankNames names{"Prog", "", "Zażółć"};
    const Bytes stream = StreamOf(dir.Write("p.hex", Join("\r\n")), names);
    std::string expected = std::string("\x00\x00\xFA\x00", 4) + "\x01\x02\x03\x04" + "\xC0\xFF\xEE\x40" +
                           std::string("\xAB\x34\x00\x00", 4) +
                           "Prog            " + std::string(16, '\xFF') + "Za\xBF\xF3\xB3\xE6          " +
                           std::string(5 * 16, '\xFF');
    EXPECT_EQ(stream, Bytes(expected.begin(), expected.end()));
}

TEST(UploadStream, LineEndsAndCtrlZDoNotChangeTheStream)
{
    TempDir dir;
    const Bytes reference = StreamOf(dir.Write("lf.hex", Join("\n")));
    ASSERT_EQ(reference.size(), 4 * 4 + 128u);
    for (const std::string& text : {Join("\r\n"), Join("\r"), Join("\r\n", "\x1A:1000000099999999")})
        EXPECT_EQ(StreamOf(dir.Write("p.hex", text)), reference);
    // Files without a taken line give the name table alone.
    const TBankNames names{"A", "B", "C", "D", "E", "F", "G", "H"};
    const TNameTable table = EncodeNameTable(names);
    for (const char* text : {"", ":00000001FF\r\n", "\n\n            \n", "\x1A:10000000FFFFFFFF\n"})
        EXPECT_EQ(StreamOf(dir.Write("p.hex", text), names), Bytes(table.begin(), table.end())) << text;
}

TEST(UploadStream, FailuresSendNothingAndReleaseTheFile)
{
    TempDir dir;
    Bytes sent;
    EXPECT_THROW(WriteUploadStream((dir.Path() / "none.hex").string(), {},
                                   [&sent](std::uint8_t b) { sent.push_back(b); }),
                 EInOutError);
    EXPECT_TRUE(sent.empty());

    // A sink that fails (a port write, say) must not leave the file open and locked.
    const auto path = dir.Write("p.hex", Join("\n"));
    EXPECT_THROW(WriteUploadStream(path, {}, [](std::uint8_t) { throw std::runtime_error("port"); }),
                 std::runtime_error);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
}
