// The upload sequence through a real pseudo-terminal, with a view that records
// what the user would have seen.
#include "app/TransmitterPort.h"
#include "app/Upload.h"
#include "serial/CPort.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

struct RecordingView : TUploadView {
    std::vector<std::int32_t> progress;
    std::vector<std::string> status;
    std::vector<bool> sendEnabled;
    std::vector<std::string> missing;
    std::size_t bytes = 0;
    std::function<void(std::size_t)> onByte;

    void SetProgress(std::int32_t value) override { progress.push_back(value); }
    void SetStatusText(const std::string& text) override { status.push_back(text); }
    void SetSendEnabled(bool enabled) override { sendEnabled.push_back(enabled); }
    void ShowMissingFile(const std::string& message) override { missing.push_back(message); }
    void ByteSent() override
    {
        ++bytes;
        if (onByte)
            onByte(bytes);
    }
};

std::string HexLines(std::size_t count)
{
    std::string text;
    char line[48];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, ":04%04X00%08X%02X\r\n", unsigned(i * 4 & 0xFFFF),
                      unsigned(i * 2654435761u), unsigned(i & 0xFF));
        text += line;
    }
    return text + ":00000001FF\r\n";
}

std::string ExpectedStream(const std::string& path, const TBankNames& names)
{
    std::string bytes;
    WriteUploadStream(path, names, [&](std::uint8_t b) { bytes += char(b); });
    return bytes;
}

const TBankNames kNames = {"Wzmacniacz", "", "Pogłos ĄŚŻ", " ", "ABCDEFGHIJKLMNOPQRST", "x", "", "8"};

class Upload : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("COM1_DEVICE", pty_.Path().c_str(), 1);
        port_.BeginLoading();
        LoadTransmitterPortSettings(port_);
        port_.FinishLoading();
    }
    void TearDown() override { unsetenv("COM1_DEVICE"); }

    std::string Send(const std::string& hex)
    {
        const auto path = dir_.Write("program.hex", hex).string();
        PtyReader reader(pty_.Master());
        RunUpload(port_, path, kNames, view_);
        const std::string expected = ExpectedStream(path, kNames);
        EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
        EXPECT_EQ(reader.Bytes(), expected);
        return reader.Bytes();
    }

    // The message of the error the upload raises.
    std::string Failure(const std::string& path)
    {
        try {
            RunUpload(port_, path, kNames, view_);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }

    TempDir dir_;
    PtyPair pty_;
    TComPort port_;
    RecordingView view_;
};

} // namespace

TEST_F(Upload, EmptyAndEndRecordOnlyFilesSendTheNameTableAlone)
{
    EXPECT_EQ(Send("").size(), 128u);
    EXPECT_EQ(Send(":00000001FF\n").size(), 128u);
    EXPECT_FALSE(port_.Connected());
    EXPECT_EQ(view_.progress, (std::vector<std::int32_t>{0, 0, 0, 0}));
}

TEST_F(Upload, EveryByteArrivesAndTheViewFollowsThePhases)
{
    const std::string sent = Send(HexLines(1024));
    ASSERT_EQ(sent.size(), 4224u);
    EXPECT_EQ(sent.substr(4096, 16), "Wzmacniacz      ");
    EXPECT_EQ(sent.substr(4112, 16), std::string(16, '\xFF'));

    ASSERT_EQ(view_.progress.size(), 1 + 1024 + 1u);
    for (std::size_t line = 1; line <= 1024; ++line)
        EXPECT_EQ(view_.progress[line], std::int32_t(line / 10)) << line;
    EXPECT_EQ(view_.progress.back(), 0);
    EXPECT_EQ(view_.status, (std::vector<std::string>{DataPhaseText, NamePhaseText, ""}));
    EXPECT_EQ(view_.sendEnabled, (std::vector<bool>{false, true}));
    EXPECT_EQ(view_.bytes, 4224u);
    EXPECT_FALSE(port_.Connected());
    EXPECT_EQ(pty_.Line().OutputSpeed, 600u);
}

TEST_F(Upload, TwoUploadsInARowSendTheSameStream)
{
    const std::string hex = HexLines(30);
    EXPECT_EQ(Send(hex), Send(hex));
}

TEST_F(Upload, MissingFileShowsTheBoxAndTouchesNoPort)
{
    const std::string paths[] = {"", dir_.Path().string(), (dir_.Path() / "none.hex").string()};
    for (const auto& path : paths) {
        port_.SetBaudRate(br9600);
        RunUpload(port_, path, kNames, view_);
        EXPECT_EQ(port_.BaudRate(), br600);
    }
    EXPECT_EQ(view_.missing, std::vector<std::string>(3, MissingFileText));
    EXPECT_FALSE(port_.Connected());
    EXPECT_TRUE(view_.progress.empty() && view_.status.empty() && view_.sendEnabled.empty());
    EXPECT_EQ(pty_.Receive(1, 20ms), "");
}

TEST_F(Upload, ADeviceThatDoesNotExistLeavesThePortClosed)
{
    setenv("COM1_DEVICE", (dir_.Path() / "ttyNone").c_str(), 1);
    const auto path = dir_.Write("p.hex", HexLines(3)).string();
    EXPECT_EQ(Failure(path), "Unable to open com port (win error code: 2)");
    EXPECT_FALSE(port_.Connected());
    EXPECT_EQ(view_.progress, std::vector<std::int32_t>{0});
    EXPECT_TRUE(view_.sendEnabled.empty());
}

TEST_F(Upload, APortLeftOpenByAnUnreadableFileCarriesTheNextUpload)
{
    const auto path = dir_.Write("held.hex", HexLines(12)).string();
    const int writer = open(path.c_str(), O_RDWR);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    EXPECT_EQ(Failure(path), "I/O error 32");
    EXPECT_TRUE(port_.Connected());
    EXPECT_TRUE(view_.sendEnabled.empty());
    close(writer);

    PtyReader reader(pty_.Master());
    RunUpload(port_, path, kNames, view_);
    const std::string expected = ExpectedStream(path, kNames);
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(reader.Bytes(), expected);
    EXPECT_FALSE(port_.Connected());
}

TEST_F(Upload, AHangUpMidUploadStopsItAndReleasesTheFile)
{
    const auto path = dir_.Write("p.hex", HexLines(200)).string();
    view_.onByte = [&](std::size_t sent) {
        if (sent == 100)
            pty_.CloseMaster();
    };
    EXPECT_EQ(Failure(path), "WriteFile function failed (win error code: " + std::to_string(EIO) + ")");
    EXPECT_EQ(view_.bytes, 100u);
    EXPECT_TRUE(port_.Connected());
    EXPECT_EQ(view_.sendEnabled, std::vector<bool>{false});
    EXPECT_EQ(view_.status, std::vector<std::string>{DataPhaseText});
    EXPECT_EQ(view_.progress.back(), 2);
    // The file is closed although the upload failed: a writer can take it at once.
    const int writer = open(path.c_str(), O_RDWR);
    EXPECT_EQ(flock(writer, LOCK_EX | LOCK_NB), 0);
    close(writer);
}

// A line that stops taking bytes ends in the write time-out: that byte did not go,
// so the upload must fail there rather than go on with a hole in the program.
TEST_F(Upload, AStalledLineFailsTheUploadInsteadOfSkippingBytes)
{
    const auto path = dir_.Write("big.hex", HexLines(40000)).string();
    const std::string message = Failure(path);
    EXPECT_EQ(message, "WriteFile function failed (win error code: " + std::to_string(ETIMEDOUT) + ")");
    EXPECT_TRUE(port_.Connected());
    EXPECT_EQ(view_.sendEnabled, std::vector<bool>{false});
    // Every byte reported as sent is on the line, in order.
    std::string expected;
    WriteUploadStream(path, kNames, [&](std::uint8_t b) {
        if (expected.size() < view_.bytes)
            expected += char(b);
    });
    EXPECT_EQ(pty_.Receive(view_.bytes + 1, 300ms), expected);
}

TEST_F(Upload, TheGaugeKeepsCountingPastSixtyFiveThousandLines)
{
    const auto path = dir_.Write("long.hex", HexLines(65600)).string();
    PtyReader reader(pty_.Master(), false);
    RunUpload(port_, path, kNames, view_);
    EXPECT_TRUE(reader.WaitFor(65600 * 4 + 128, 10s));
    ASSERT_GE(view_.progress.size(), 65601u);
    EXPECT_TRUE(std::is_sorted(view_.progress.begin() + 1, view_.progress.end() - 1));
    EXPECT_EQ(view_.progress[65600], 6560);
}
