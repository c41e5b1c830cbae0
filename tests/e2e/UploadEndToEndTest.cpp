// The whole path without a window: vorn-send uploads HEX files to vorn-unit,
// and what the unit received must be byte for byte what vorn-stream says the
// upload stream of the same file and names is.
#include "ChildProcess.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

namespace {

struct Upload {
    const char* hexFile;
    std::vector<std::string> names;
};

std::string Example(const char* name)
{
    return std::string(VORN_SOURCE_DIR) + "/examples/" + name;
}

std::vector<std::string> Command(std::vector<std::string> command, const std::vector<std::string>& more)
{
    command.insert(command.end(), more.begin(), more.end());
    return command;
}

}  // namespace

TEST(UploadEndToEnd, UnitReceivesExactlyTheStreamOfEveryUpload)
{
    TempDir dir;
    const std::string received = (dir.Path() / "received.bin").string();
    const std::string expected = (dir.Path() / "expected.bin").string();
    ChildProcess unit({VORN_UNIT_PATH, "-o", received});
    const auto first = unit.ReadLine(5s);
    ASSERT_TRUE(first && first->starts_with("COM1_DEVICE=")) << first.value_or("(nothing)");
    const EnvChanges port{{"COM1_DEVICE", first->substr(first->find('=') + 1)}};

    // Several uploads to one running unit: Polish, blank, empty, over-long and missing names.
    const std::vector<Upload> uploads = {
        {"ramp.hex", {"Bass", "Zażółć gęślą", "", " ", "1234567890123456", "Ósma"}},
        {"short-records.hex", {}},
        {"segments.hex", {"a", "b", "c", "d", "e", "f", "g", "Za długa nazwa programu"}},
    };
    for (std::size_t i = 0; i < uploads.size(); ++i) {
        const Upload& u = uploads[i];
        SCOPED_TRACE(u.hexFile);
        EXPECT_EQ(RunProgram(Command({VORN_SEND_PATH, Example(u.hexFile)}, u.names), port, 60s), 0);
        const std::string number = std::to_string(i + 1);
        const std::string report = unit.ReadThrough("end of upload " + number, 10s);
        EXPECT_NE(report.find("upload " + number + " ended (port closed)"), std::string::npos) << report;
        if (i == 0) {
            EXPECT_EQ(report.rfind("line: 600 bit/s, 8 data bits, no parity, 1 stop bit\n", 0), 0u) << report;
        }

        std::vector<std::string> stream = Command({VORN_STREAM_PATH, Example(u.hexFile)}, u.names);
        ASSERT_EQ(RunProgram(Command(stream, {"-o", expected}), {}, 10s), 0);
        EXPECT_EQ(ReadFileBytes(received), ReadFileBytes(expected));
    }
    unit.Signal(SIGTERM);
    EXPECT_EQ(unit.Wait(5s), 0);
}

TEST(UploadEndToEnd, HeadlessRunUploadsTheDemoToTheSimulatedUnit)
{
    std::string out;
    const EnvChanges headless{{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
    EXPECT_EQ(RunProgram({VORN_SOURCE_DIR "/scripts/run", "--no-build", "--build-dir", VORN_BINARY_DIR}, headless,
                         120s, &out),
              0);
    EXPECT_NE(out.find("no display"), std::string::npos) << out;
    // demo.hex: an extended address record and 60 data records give 61 words.
    EXPECT_NE(out.find("upload 1 ended (port closed): 372 bytes, 61 program words\n"), std::string::npos) << out;
    EXPECT_NE(out.find("end of upload 1\n"), std::string::npos) << out;
}
