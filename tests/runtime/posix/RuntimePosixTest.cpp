// What only POSIX systems have: a guard page behind a pattern, gettext's own calls, FIFOs,
// file modes, owners and symbolic links, readers that take no lock, and the kernel's table of
// file locks.
#include "runtime/Format.h"
#include "runtime/IniFile.h"
#include "runtime/RegistryKey.h"
#include "runtime/WholeFile.h"
#include "RuntimeFixture.h"
#include "TwoProcesses.h"
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <libintl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// With standard input closed a settings file opens as descriptor 0: it is closed like any
// other, or its lock would stay held and the next update would wait for ever.
TEST_F(Runtime, ASettingsFileOpenedAsDescriptorZeroIsClosedLikeAnyOther)
{
    const auto file = dir.Write("ports.ini", "[S]\n");
    const int saved = ::dup(0);
    ::close(0);
    TIniFile(file).WriteString("S", "Port", "COM2");
    const bool closed = ::fcntl(0, F_GETFD) == -1;
    ::dup2(saved, 0);
    ::close(saved);
    EXPECT_TRUE(closed);
}

// In a user namespace that cannot name the file's owner (a container's), the write goes
// through as the process's own file, with the mode kept.
TEST_F(Runtime, KeyFileWriteGoesThroughWhereTheOwnerCannotBeNamed)
{
    const auto file = dir.Write("port.reg", "REGEDIT4\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWUSER) != 0)
            ::_exit(2);
        try { TRegistry(file).WriteInteger("N", 1); } catch (...) { ::_exit(1); }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no user namespace can be made here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(file), "REGEDIT4\n\"N\"=dword:00000001\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Readers take no lock: while an update runs they read the file as it was, at once.
TEST_F(Runtime, AReadDuringAnUpdateSeesTheOldFileAtOnce)
{
    const auto file = dir.Write("ports.ini", "[S]\nPort=COM1\n");
    std::future<std::string> reader;  // outlives the update, which a waiting reader waits for
    bool atOnce = false;
    const TUpdateResult result = UpdateWholeFile(file, [&](std::string& bytes) {
        bytes = "[S]\nPort=COM2\n";
        reader = std::async(std::launch::async, [&] { return TIniFile(file).ReadString("S", "Port", "-"); });
        atOnce = reader.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
    });
    EXPECT_EQ(result.err, 0);
    EXPECT_TRUE(atOnce);
    EXPECT_EQ(reader.get(), "COM1");
}

namespace {

void Interrupt(int) {}

// Whether SIGUSR1 has reached the process, so that what it interrupted has returned.
bool Delivered(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if ((line.starts_with("SigPnd:") || line.starts_with("ShdPnd:")) &&
            (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGUSR1 - 1))))
            return false;
    return true;
}

} // namespace

// While one program updates a settings file, another's write waits for the lock (the
// kernel lists it as a waiter) instead of finishing, waits on when a signal interrupts
// it, and then builds on the file the first program left.
TEST_F(Runtime, AWriteWaitsForAnotherProgramsUpdateAndKeepsItsValue)
{
    struct Kind {
        const char *name, *empty, *holders;
        std::function<void(const std::filesystem::path&)> write;
        std::function<bool(const std::filesystem::path&)> both;
    };
    const Kind kinds[] = {
        {"ports.ini", "[Shared]\n", "Holder=1\n",
         [](const auto& file) { TIniFile(file).WriteInteger("Shared", "Writer", 2); },
         [](const auto& file) {
             TIniFile ini(file);
             return ini.ReadInteger("Shared", "Holder", 0) == 1 && ini.ReadInteger("Shared", "Writer", 0) == 2;
         }},
        {"port.reg", "REGEDIT4\n\n", "\"Holder\"=dword:00000001\n",
         [](const auto& file) { TRegistry(file).WriteInteger("Writer", 2); },
         [](const auto& file) {
             TRegistry key(file);
             return key.ValueExists("Holder") && key.ValueExists("Writer") && key.ReadInteger("Writer") == 2;
         }},
    };
    const auto readable = [](int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1;
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const auto file = dir.Write(kind.name, kind.empty);
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        const auto waiter = [locked = ":" + std::to_string(st.st_ino) + " "] {  // its pid, or 0
            std::ifstream table("/proc/locks");
            for (std::string line; std::getline(table, line);) {
                std::istringstream fields(line);
                std::string number, arrow, type, advisory, mode;
                pid_t pid = 0;
                if (fields >> number >> arrow >> type >> advisory >> mode >> pid && arrow == "->" &&
                    line.find(locked) != std::string::npos)
                    return pid;
            }
            return pid_t{0};
        };
        int go[2], done[2];
        ASSERT_EQ(::pipe(go) | ::pipe(done), 0);
        // Until `seen()`, unless the writer finishes first.
        const auto watch = [&](const std::function<bool()>& seen) {
            for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
                 !readable(done[0], 1) && std::chrono::steady_clock::now() < deadline;)
                if (seen())
                    return true;
            return false;
        };
        pid_t waiting = 0;
        bool waitsOn = false, finishedMeanwhile = true, finished = false;
        TUpdateResult held;
        const bool writerEnded = InTwoProcesses(dir.Path(), [&](const auto&) {
            struct sigaction action {};
            action.sa_handler = Interrupt;  // no SA_RESTART: the wait for the lock ends with EINTR
            char c = 0;
            if (::sigaction(SIGUSR1, &action, nullptr) != 0 || !readable(go[0], 2000) || ::read(go[0], &c, 1) != 1)
                throw std::runtime_error("never told to write");
            kind.write(file);
            if (::write(done[1], "w", 1) != 1)
                throw std::runtime_error("cannot say it wrote");
        }, [&] {
            held = UpdateWholeFile(file, [&](std::string& bytes) {
                bytes += kind.holders;
                if (::write(go[1], "g", 1) != 1 || !watch([&] { return (waiting = waiter()) != 0; }))
                    return;
                waitsOn = ::kill(waiting, SIGUSR1) == 0 && watch([&] { return Delivered(waiting); }) &&
                          watch([&] { return waiter() == waiting; });
                finishedMeanwhile = readable(done[0], 0);
            });
            finished = readable(done[0], 1000);
        });
        for (int fd : {go[0], go[1], done[0], done[1]})
            ::close(fd);
        EXPECT_EQ(held.err, 0);
        EXPECT_EQ(std::make_tuple(waiting != 0, waitsOn, finishedMeanwhile, finished, writerEnded),
                  std::make_tuple(true, true, false, true, true));
        EXPECT_TRUE(kind.both(file)) << ReadFileBytes(file);
    }
}
