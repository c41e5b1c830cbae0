// The window's logic driven as a window would drive it, through a view that records
// what the window would show.
#include "form/BoxTexts.h"
#include "form/TransmitterForm.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "upload/Upload.h"
#include "PtyPair.h"
#include "TempDir.h"
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Every call the logic makes of its window, in order, as text.
class TRecordingView : public TFormView {
public:
    std::string FileName() const override { return fileName; }
    void SetFileName(const std::string& path) override { fileName = path; }
    TBankNames BankNames() const override { return names; }
    std::optional<std::string> ChooseHexFile() override { return chosen; }
    void SetProgress(std::int32_t value) override { Record("gauge " + std::to_string(value)); }
    void SetStatusText(const std::string& text) override { Record("status " + text); }
    void SetSendEnabled(bool enabled) override { Record(enabled ? "Send on" : "Send off"); }
    void ShowBox(const std::string& caption, const std::string& message) override { Record(caption + "|" + message); }
    void DeliverQueuedInput() override { queuedInputHeld = form && form->HoldsSendInput(); }
    void Quit(int status) override { Record("quit " + std::to_string(status)); }

    void Record(std::string call)
    {
        calls.push_back(std::move(call));
        if (onCall)
            onCall(calls.back());
    }

    std::string fileName;
    TBankNames names{"Zażółć gęślą", "", "Ostatni"};
    std::optional<std::string> chosen;
    std::vector<std::string> calls;
    std::function<void(const std::string&)> onCall;
    const TTransmitterForm* form = nullptr;
    bool queuedInputHeld = false;
};

// `count` program lines of a distinct word each.
std::string HexLines(std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += ":04000000" + std::to_string(10000000 + i) + "\n";
    return text;
}

class Form : public ::testing::Test {
protected:
    Form()
    {
        view_.form = &form_;
        form_.ReadStoredPort();
        form_.FinishLoading();
        SetApplicationExceptionHandler([this](const std::exception& e) { errors_.push_back(e.what()); });
    }
    ~Form() override { SetApplicationExceptionHandler(nullptr); }

    // The stream of a file written now, whose name is in File_name.
    std::string Prepare(const std::string& hex)
    {
        view_.fileName = dir_.Write("p.hex", hex).string();
        std::string bytes;
        WriteUploadStream(view_.fileName, view_.names, [&](std::uint8_t b) { bytes += char(b); });
        return bytes;
    }

    TempDir dir_;
    PtyPair pty_;
    TRecordingView view_;
    TTransmitterForm form_{view_, pty_.Path()};
    std::vector<std::string> errors_;
};

} // namespace

TEST_F(Form, ThePortHasTheTransmittersStoredSettingsAndTheGivenName)
{
    TRecordingView view;
    TTransmitterForm form(view, "COM1");
    form.ReadStoredPort();
    EXPECT_TRUE(form.RS232.Loading());
    form.FinishLoading();
    const TComPort& port = form.RS232;
    EXPECT_FALSE(port.Connected() || port.Loading());
    EXPECT_EQ(std::tuple(port.Port(), port.BaudRate(), port.FlowControl().ControlDTR(), port.FlowControl().ControlRTS(),
                         port.SyncMethod(), EventsToMask(port.Events())),
              std::tuple(std::string("COM1"), br600, dtrDisable, rtsDisable, smNone, std::uint32_t(0x5E7)));
    const TComFlowControl& flow = port.FlowControl();
    EXPECT_FALSE(flow.OutCTSFlow() || flow.OutDSRFlow() || flow.XonXoffOut() || flow.XonXoffIn());
    EXPECT_EQ(std::tuple(port.Parity().Bits(), port.StopBits(), port.DataBits()),
              std::tuple(prNone, sbOneStopBit, dbEight));
    EXPECT_EQ(form_.RS232.Port(), pty_.Path());
}

// The gauge gets the lines sent divided by 10, the remainder dropped, after each line.
TEST_F(Form, SendShowsTheUploadsStepsInOrderAndPutsTheStreamOnTheLine)
{
    const std::string expected = Prepare(HexLines(25));
    PtyReader reader(pty_.Master());
    form_.SendClick();
    std::vector<std::string> steps{"gauge 0", std::string("status ") + DataPhaseText, "Send off"};
    for (int line = 1; line <= 25; ++line)
        steps.push_back("gauge " + std::to_string(line / 10));
    steps.insert(steps.end(), {std::string("status ") + NamePhaseText, "gauge 0", "status ", "Send on"});
    EXPECT_EQ(view_.calls, steps);
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(reader.Bytes(), expected);
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(form_.RS232.Connected());
}

TEST_F(Form, SendLeavesTheLineAt600BitsEightDataBitsNoParityAndNoFlowControl)
{
    Prepare(HexLines(1));
    form_.SendClick();
    const PtyLine line = pty_.Line();
    EXPECT_EQ(std::tuple(line.OutputSpeed, line.Attributes.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS),
                         line.Attributes.c_iflag & (IXON | IXOFF)), std::tuple(600u, tcflag_t(CS8), tcflag_t(0)));
}

TEST_F(Form, AMissingFileShowsTheErrorBoxAndSendsNothing)
{
    form_.RS232.SetBaudRate(br9600);
    view_.fileName = (dir_.Path() / "gone.hex").string();
    form_.SendClick();
    EXPECT_EQ(view_.calls, std::vector<std::string>{ErrorCaption() + "|" + MissingFileText});
    EXPECT_EQ(form_.RS232.BaudRate(), br600);
    EXPECT_FALSE(form_.RS232.Connected());
    EXPECT_EQ(pty_.Receive(1, 20ms), "");
}

// A file is read whole before the port opens: one it cannot read sends nothing.
TEST_F(Form, AFileAWriterHoldsGoesToTheTopLevelBoxAndThePortStaysClosed)
{
    Prepare(HexLines(1024));
    const int writer = open(view_.fileName.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    form_.SendClick();
    close(writer);
    EXPECT_EQ(errors_, std::vector<std::string>{"I/O error 32"});
    EXPECT_EQ(view_.calls, std::vector<std::string>{"gauge 0"});
    EXPECT_EQ(pty_.Line().OutputSpeed, 38400u);  // never opened: the pseudo-terminal's own speed
}

TEST_F(Form, APortThatCannotOpenIsReportedInTheUsersLanguageAfterTheGaugeIsReset)
{
    Prepare(HexLines(3));
    setenv("LANG", "pl_PL.UTF-8", 1);
    InitTextLookup(VORN_LOCALE_DIR);
    InitComErrorMessages();
    form_.RS232.SetPort((dir_.Path() / "ttyNone").string());
    form_.SendClick();
    setenv("LANG", "C", 1);
    InitTextLookup(VORN_LOCALE_DIR);
    InitComErrorMessages();
    EXPECT_EQ(errors_, std::vector<std::string>{"Nie można otworzyć portu (kod błędu systemu: 2)"});
    EXPECT_EQ(view_.calls, std::vector<std::string>{"gauge 0"});
}

TEST_F(Form, InputAimedAtSendIsHeldWhileTheQueuedInputIsDeliveredAfterTheUpload)
{
    Prepare(HexLines(1));
    EXPECT_FALSE(form_.HoldsSendInput());
    form_.SendClick();
    EXPECT_TRUE(view_.queuedInputHeld);
    EXPECT_FALSE(form_.HoldsSendInput());
    view_.fileName = (dir_.Path() / "gone.hex").string();  // also when the upload ends at once
    form_.SendClick();
    EXPECT_TRUE(view_.queuedInputHeld);
}

TEST_F(Form, OpenPutsTheChosenPathInTheFileNameAndEntersItsFolder)
{
    const auto start = std::filesystem::current_path();
    const auto file = dir_.Write("program.hex", ":00000001FF\n");
    view_.chosen = file.string();
    form_.OpenClick();
    EXPECT_EQ(view_.fileName, file.string());
    EXPECT_EQ(std::filesystem::current_path(), dir_.Path());
    std::filesystem::current_path(start);
}

TEST_F(Form, ACancelledOpenKeepsTheFileName)
{
    view_.fileName = "kept";
    form_.OpenClick();
    EXPECT_EQ(view_.fileName, "kept");
}

TEST_F(Form, AStopSignalDuringAnUploadReportsWhatWentOutClosesThePortAndQuits)
{
    TStopSignals stopSignals;
    const std::string expected = Prepare(HexLines(1024));
    view_.onCall = [](const std::string& call) {
        if (call == "gauge 10")
            std::raise(SIGTERM);
    };
    PtyReader reader(pty_.Master());
    testing::internal::CaptureStderr();
    form_.SendClick();
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(view_.calls.back(), "quit " + std::to_string(128 + SIGTERM));
    EXPECT_FALSE(form_.RS232.Connected() || PortIsExclusive(pty_.Path()));
    reader.Stop();
    pty_.ReleaseSlave();
    const std::string received = reader.Bytes() + pty_.Receive(SIZE_MAX, 5s);
    EXPECT_EQ(report, "vorn-transmitter: upload stopped by SIGTERM after " + std::to_string(received.size()) + " of " +
                          std::to_string(expected.size()) + " bytes were sent\n");
    EXPECT_EQ(received, expected.substr(0, received.size()));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(Form, AStopSignalBetweenCommandsClosesThePortAndQuitsWithoutAReport)
{
    TStopSignals stopSignals;
    form_.RS232.Open();
    std::raise(SIGINT);
    testing::internal::CaptureStderr();
    form_.StopSignalArrived();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(view_.calls, std::vector<std::string>{"quit " + std::to_string(128 + SIGINT)});
    EXPECT_FALSE(form_.RS232.Connected());
}

TEST(BoxTexts, AFullStopFollowsALastCharacterThatSortsAboveIt)
{
    const std::pair<std::string, std::string> stops[] = {{"code (2)", "code (2)"}, {"Done.", "Done."}, {"Nie!", "Nie!"},
                                                         {"a-", "a-"}, {"a/", "a/."}, {"zażółć", "zażółć."}, {"", ""}};
    for (const auto& [message, text] : stops)
        EXPECT_EQ(WithFullStop(message), text) << message;
}

int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    InitTextLookup();
    InitComErrorMessages();
    return RUN_ALL_TESTS();
}
