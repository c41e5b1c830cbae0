// vorn-send as a program: its arguments, exit statuses and messages.
#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Result {
    std::optional<int> status;
    std::string output;  // standard output and standard error together
};

Result Send(const std::string& arguments, const EnvChanges& env = {})
{
    Result r;
    r.status = RunProgram({"/bin/sh", "-c", std::string(VORN_SEND_PATH) + " " + arguments + " 2>&1"},
                          env, 20s, &r.output);
    return r;
}

} // namespace

TEST(VornSend, WrongArgumentsExitTwoAndHelpExplains)
{
    for (const char* wrong : {"", "--port", "--bogus x.hex", "f 1 2 3 4 5 6 7 8 9"}) {
        const Result r = Send(wrong);
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_NE(r.output.find("usage: vorn-send"), std::string::npos) << wrong;
    }
    const Result help = Send("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--port NAME"), std::string::npos);
}

TEST(VornSend, FailuresExitOneWithTheMessage)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", ":0400000012345678E8\n").string();
    const Result missing = Send((dir.Path() / "none.hex").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("vorn-send: Plik o podanej nazwie nie istnieje!"), std::string::npos);

    const Result noDevice = Send(hex, {{"COM1_DEVICE", (dir.Path() / "ttyNone").string()}, {"LANG", "C"}});
    EXPECT_EQ(noDevice.status, 1);
    EXPECT_NE(noDevice.output.find("vorn-send: Unable to open com port (win error code: 2)"), std::string::npos)
        << noDevice.output;
}

TEST(VornSend, SendsThroughTheNamedPortAndReportsProgressAsLines)
{
    TempDir dir;
    const std::string hex = dir.Write("p.hex", ":0400000012345678E8\n:0400040009ABCDEF8C\n").string();
    PtyPair pty;
    PtyReader reader(pty.Master());
    const Result r = Send("--port " + pty.Path() + " " + hex + " Bas ''", {{"COM1_DEVICE", "/nonexistent"}});
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(reader.WaitFor(8 + 128, 5s));
    EXPECT_EQ(reader.Bytes().substr(0, 8 + 16), "\x12\x34\x56\x78\x09\xAB\xCD\xEF" "Bas             ");
    EXPECT_EQ(reader.Bytes().substr(24, 16), std::string(16, '\xFF'));
    EXPECT_NE(r.output.find("Wysyłam dane programów z szybkością 600 bit/s...\n"), std::string::npos);
    EXPECT_NE(r.output.find("Wysyłam nazwy programów z szybkością 600 bit/s...\n"), std::string::npos);
    EXPECT_NE(r.output.find("100%  136/136 bytes\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\r'), std::string::npos);
}
