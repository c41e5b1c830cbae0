// What only POSIX systems have: a guard page behind a pattern, gettext's own calls, FIFOs,
// and file modes, owners and symbolic links.
#include "runtime/Format.h"
#include "runtime/IniFile.h"
#include "runtime/RegistryKey.h"
#include "RuntimeFixture.h"
#include <libintl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// Only %d for a number and %s for a text (or their %N$ forms) are filled, and %% is one %;
// whatever else a translation holds is kept as text, read up to its last byte and no further.
TEST(FormatTemplate, FillsPlaceholdersOfTheirOwnTypeAndKeepsTheRestAsText)
{
    const std::size_t page = ::sysconf(_SC_PAGESIZE);
    void* const map = ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    auto* const pages = static_cast<char*>(map);
    ASSERT_EQ(::mprotect(pages + page, page, PROT_NONE), 0);  // a pattern's copy ends at this guard
    const auto fill = [&](std::string_view pattern, std::initializer_list<FormatArg> args) {
        const char* start = std::copy_backward(pattern.begin(), pattern.end(), pages + page);
        return FormatTemplate({start, pattern.size()}, args);
    };
    EXPECT_EQ(fill("I/O error %d%%", {32}), "I/O error 32%");
    EXPECT_EQ(fill("'%s' %d %d %d", {std::string("Port"), -1, 2}), "'Port' -1 2 %d");
    EXPECT_EQ(fill("%2$d z %1$d %10$s %9$d %009$d %001$d", {1, 2, 3, 4, 5, 6, 7, 8, 9, std::string("J")}),
              "2 z 1 J 9 9 1");  // a position has up to three digits
    EXPECT_EQ(fill("%0$d %s: %d %n % %3$d %1$x %1000$d %0001$d %.*s", {2}),
              "%0$d %s: 2 %n % %3$d %1$x %1000$d %0001$d %.*s");
    for (const std::string_view end : {"%", "5%", "%1", "%12", "%1$", "%%%"})
        EXPECT_EQ(fill(end, {std::string("s")}), end == "%%%" ? "%%" : std::string(end));
    ::munmap(pages, 2 * page);
}

TEST_F(Runtime, TheSetUpBindsTheSerialComponentsDomain)
{
    UseLanguage("pl_PL");
    EXPECT_STREQ(dgettext("cport", "OK"), "Dobrze");
}

// A FIFO without a writer must not hold the reader: it is no settings file.
TEST_F(Runtime, AFifoIsRefusedAtOnce)
{
    const auto fifo = dir.Path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string cause = " the file '" + fifo.string() + "': Invalid argument";
    EXPECT_EQ(MessageOf([&] { TIniFile(fifo).ReadString("S", "Port", ""); }), "Cannot read" + cause);
    EXPECT_EQ(MessageOf([&] { TIniFile(fifo).WriteString("S", "Port", "COM2"); }), "Cannot read" + cause);
    EXPECT_EQ(MessageOf([&] { TRegistry(fifo).WriteString("Port", "COM2"); }),
              "Failed to set data for 'Port' (cannot read" + cause + ")");
}

// A write goes to the file the link names, keeping its mode and, where the process may
// give them away, its owner and group.
TEST_F(Runtime, KeyFileWritesKeepModeOwnerAndLink)
{
    const auto file = dir.Write("port.reg", "REGEDIT4\n");
    const bool given = ::geteuid() == 0 && ::chown(file.c_str(), 1234, 5678) == 0;  // root only
    ASSERT_EQ(::chmod(file.c_str(), 02640), 0);
    std::filesystem::create_symlink(file.filename(), dir.Path() / "link.reg");
    TRegistry(dir.Path() / "link.reg").WriteInteger("N", 31250);
    EXPECT_EQ(ReadFileBytes(file), "REGEDIT4\n\"N\"=dword:00007a12\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(std::make_tuple(st.st_mode & 07777, st.st_uid, st.st_gid),
              std::make_tuple(02640u, given ? 1234u : ::getuid(), given ? 5678u : ::getgid()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.reg"));
}
