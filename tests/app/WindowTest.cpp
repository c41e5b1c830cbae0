// The window on Qt's offscreen platform: its controls, boxes, Open command and
// the upload driven through Send.
#include "app/MessageBoxes.h"
#include "app/ToolkitTexts.h"
#include "app/Upload.h"
#include "app/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "PtyPair.h"
#include "TempDir.h"
#include <QTest>
#include <QtWidgets>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Runs `act` on the modal widget the next call opens, from inside its own loop.
void WhenModal(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

// The next message box as "caption|text|icon|buttons and place", closed with Escape after a Ctrl+C.
void DescribeNextBox(QString& shown, QString& copied)
{
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        QApplication::clipboard()->clear();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        copied = QApplication::clipboard()->text();
        shown = box->windowTitle() + "|" + box->text() + (box->icon() == QMessageBox::Critical ? "|stop" : "|");
        const int textBottom = box->findChild<QLabel*>("qt_msgbox_label")->geometry().bottom();
        for (auto* button : box->buttons())
            shown += "|" + button->text() + (button == box->defaultButton() ? " default" : "") +
                     (button == box->escapeButton() ? " escape" : "") +
                     (std::abs(button->mapTo(box, button->rect().center()).x() - box->width() / 2) <= 1 &&
                      button->mapTo(box, QPoint()).y() > textBottom ? " centred below" : "");
        QTest::keyClick(box, Qt::Key_Escape);
    });
}

// `count` program lines of a distinct word each.
std::string HexLines(std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += ":04000000" + std::to_string(10000000 + i) + "\n";
    return text;
}

} // namespace

// The controls' places, texts and colours are the Designer form's; this is what the code adds.
TEST(Window, AFixedDialogCentredOnTheDesktopWithItsLabelsSizedToTheirText)
{
    TForm1 form;
    EXPECT_EQ(std::pair(form.minimumSize(), form.maximumSize()), std::pair(QSize(335, 352), QSize(335, 352)));
    EXPECT_EQ(form.pos(), QGuiApplication::primaryScreen()->availableGeometry().center() - form.rect().center());
    EXPECT_EQ(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
              Qt::WindowCloseButtonHint);
    std::map<QString, int> widths{{"Label1", 119}, {"Label10", 36}, {"Label11", 107}, {"Label12", 36}};  // others 34
    for (const auto* label : form.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))  // sized to their text
        EXPECT_TRUE(label->geometry() == QRect(label->pos(), label->sizeHint()) &&
                    label->fontMetrics().horizontalAdvance(label->text()) <= std::max(widths[label->objectName()], 34))
            << label->objectName().toStdString();
    form.Bank1->setText("Program numer 12"), form.Bank1->grab();  // drawn with the cursor after the last letter
    EXPECT_EQ(form.Bank1->cursorPositionAt(QPoint(6, 10)), 0);     // yet not scrolled: the whole name shows
    EXPECT_EQ(form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).value(0), form.Bevel1);  // lowest

    const TComPort& port = form.RS232;
    EXPECT_FALSE(port.Connected() || port.Loading() || form.Postep->Loading());
    EXPECT_EQ(std::tuple(port.Port(), port.FlowControl().ControlDTR(), port.FlowControl().ControlRTS(),
                         port.SyncMethod(), EventsToMask(port.Events())),
              std::tuple(std::string("COM1"), dtrDisable, rtsDisable, smNone, std::uint32_t(0x5E7)));
}

TEST(Window, TheTopLevelBoxAddsAFullStopAfterALastCharacterThatSortsAboveIt)
{
    QString shown, copied;
    DescribeNextBox(shown, copied);
    ShowTopLevelErrorBox(nullptr, "File not found");
    EXPECT_EQ(shown, "Vorn transmitter|File not found.|stop|OK default escape centred below");
    const std::pair<std::string, std::string> stops[] = {{"code (2)", "code (2)"}, {"Done.", "Done."}, {"Nie!", "Nie!"},
                                                         {"a-", "a-"}, {"a/", "a/."}, {"zażółć", "zażółć."}, {"", ""}};
    for (const auto& [message, text] : stops)
        EXPECT_EQ(WithFullStop(message), text);
}

TEST(Window, OpenPutsTheChosenPathInTheFileNameAndMakesItsFolderCurrent)
{
    TempDir dir;
    const QString start = QDir::currentPath();
    const auto file = dir.Write("program.hex", ":00000001FF\n");
    TForm1 form;
    WhenModal([&](QWidget* modal) {
        EXPECT_EQ(modal, form.OpenHEX);
        EXPECT_EQ(form.OpenHEX->nameFilters(), QStringList{"Intel HEX file (*.hex)"});
        EXPECT_EQ(form.OpenHEX->fileMode(), QFileDialog::AnyFile);  // a new name is taken as it is
        form.OpenHEX->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(form.OpenHEX)->accept();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text().toStdString(), file.string());
    EXPECT_EQ(QDir::currentPath().toStdString(), dir.Path().string());
    // Cancelling keeps the name; the dialog starts at the last file, in the middle, a third from the top.
    form.File_name->setText("kept");
    WhenModal([&](QWidget*) {
        const QSize free = QGuiApplication::primaryScreen()->geometry().size() - form.OpenHEX->size();
        EXPECT_EQ(form.OpenHEX->pos(), QPoint(free.width() / 2, free.height() / 3));
        EXPECT_EQ(form.OpenHEX->selectedFiles().value(0).toStdString(), file.string());
        form.OpenHEX->reject();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text(), "kept");
    QDir::setCurrent(start);
}

// The toolkit's own texts in the dialog follow the language of the catalogues.
TEST(Window, TheOpenDialogSpeaksTheUsersLanguage)
{
    setenv("LANG", "pl_PL.UTF-8", 1);
    InitTextLookup(VORN_LOCALE_DIR);
    TForm1 form;
    QStringList buttons;
    WhenModal([&](QWidget*) {
        for (const auto* button : form.OpenHEX->findChildren<QPushButton*>())
            buttons << button->text();
        form.OpenHEX->reject();
    });
    form.Open->click();
    setenv("LANG", "C", 1);
    InitTextLookup(VORN_LOCALE_DIR);
    LoadToolkitTranslations();
    EXPECT_TRUE(buttons.contains("Anuluj")) << buttons.join(", ").toStdString();
}

class WindowUpload : public ::testing::Test, public QObject {
protected:
    WindowUpload()
    {
        form_.Postep->installEventFilter(this);
        form_.StatusBar->installEventFilter(this);
        setenv("COM1_DEVICE", "/nonexistent/ttyNone", 1);  // the port is given as on the command line
        SetApplicationExceptionHandler([this](const std::exception& e) { errors_.push_back(e.what()); });
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
        form_.Bank1->setText("Zażółć gęślą");
        form_.Bank3->setText("Ostatni");
    }
    ~WindowUpload() override
    {
        SetApplicationExceptionHandler(nullptr);
        unsetenv("COM1_DEVICE");
    }
    // The stream of a file written now, whose name is typed in.
    std::string Prepare(const std::string& hex)
    {
        const auto path = dir_.Write("p.hex", hex).string();
        form_.File_name->setText(QString::fromStdString(path));
        std::string bytes;
        WriteUploadStream(path, {"Zażółć gęślą", "", "Ostatni"}, [&](std::uint8_t b) { bytes += char(b); });
        return bytes;
    }

    // Calls painting_ for every paint of the gauge and the status bar, before it is drawn.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painting_(watched);
        return false;
    }

    void ExpectRestingState() const
    {
        EXPECT_TRUE(form_.Send->isEnabled() && form_.StatusBar->currentMessage().isEmpty() && !form_.RS232.Connected());
        EXPECT_EQ(form_.Postep->Progress(), 0);
    }

    TempDir dir_;
    PtyPair pty_;
    std::function<void(QObject*)> painting_ = [](QObject*) {};  // outlives the form it watches
    TForm1 form_{nullptr, pty_.Path()};
    std::vector<std::string> errors_;
};

TEST_F(WindowUpload, SendsTheStreamOnceWhileGaugeAndStatusBarRedrawAndShowsWhatFails)
{
    // A missing file: the error box, nothing on the line.
    form_.RS232.SetBaudRate(br9600);
    form_.File_name->setText(QString::fromStdString((dir_.Path() / "gone.hex").string()));
    QString shown, copied;
    DescribeNextBox(shown, copied);
    form_.Send->click();
    EXPECT_EQ(shown, QString("Error|") + MissingFileText + "|stop|OK default escape centred below");
    const QString rule(27, '-');
    EXPECT_EQ(copied, QStringList({rule, "Error", rule, MissingFileText, rule, "OK   ", rule, ""}).join("\r\n"));
    EXPECT_EQ(form_.RS232.BaudRate(), br600);
    ExpectRestingState();
    EXPECT_EQ(pty_.Receive(1, 20ms), "");
    // A file a writer holds is read before the port opens: nothing goes out, the port stays closed.
    const std::string expected = Prepare(HexLines(1024) + ":00000001FF\n");
    const int writer = open((dir_.Path() / "p.hex").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    form_.Send->click();
    close(writer);
    ExpectRestingState();
    EXPECT_EQ(pty_.Line().OutputSpeed, 38400u);  // never opened: the pseudo-terminal's own speed

    std::vector<std::int32_t> painted;
    QStringList statusShown;
    bool sendEnabled = false;
    const QPointF centre = form_.Send->rect().center(), global = form_.Send->mapToGlobal(centre);
    painting_ = [&](QObject* watched) {
        if (watched == form_.StatusBar) {  // drawn at once, not with the gauge's next step
            statusShown.push_back(form_.StatusBar->currentMessage() + "@" + QString::number(form_.Postep->Percent()));
            return;
        }
        painted.push_back(form_.Postep->Percent());
        sendEnabled = sendEnabled || (painted.back() > 0 && form_.Send->isEnabled());
        // A click made now is delivered once the upload has returned; it must start no second one.
        if (painted.back() == 1)
            for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(form_.Send, new QMouseEvent(type, centre, global, Qt::LeftButton,
                                                                        Qt::LeftButton, Qt::NoModifier));
    };
    PtyReader reader(pty_.Master());
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    QEventLoop idle;  // a loop that waits for input, as the application's does
    QTimer::singleShot(100, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_FALSE(reader.WaitFor(expected.size() + 1, 200ms));
    EXPECT_EQ(reader.Bytes(), expected);
    ExpectRestingState();
    const PtyLine line = pty_.Line();  // 600 bit/s, 8N1, no flow control
    EXPECT_EQ(std::tuple(line.OutputSpeed, line.Attributes.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS),
                         line.Attributes.c_iflag & (IXON | IXOFF)), std::tuple(600u, tcflag_t(CS8), tcflag_t(0)));
    // One paint a whole percent while the loop stood still, Send disabled, then back to 0.
    ASSERT_GE(painted.size(), 100u);
    EXPECT_LE(painted.size(), 102u);
    EXPECT_TRUE(std::is_sorted(painted.begin(), painted.end() - 1));
    EXPECT_EQ(std::tuple(painted[painted.size() - 2], painted.back(), sendEnabled), std::tuple(100, 0, false));
    EXPECT_TRUE(statusShown.contains(DataPhaseText + QString("@0")) &&
                statusShown.contains(NamePhaseText + QString("@100"))) << statusShown.join(", ").toStdString();
    // A click after the upload has returned starts the next one as usual.
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(2 * expected.size(), 5s));
    // The gauge starts from 0 even when the port then fails to open; a Polish user is told why in Polish.
    setenv("LANG", "pl_PL.UTF-8", 1), InitTextLookup(VORN_LOCALE_DIR), InitComErrorMessages();
    form_.RS232.SetPort((dir_.Path() / "ttyNone").string());
    form_.Postep->SetProgress(50);
    form_.Send->click();
    setenv("LANG", "C", 1), InitTextLookup(VORN_LOCALE_DIR), InitComErrorMessages();
    EXPECT_EQ(errors_, (std::vector<std::string>{"I/O error 32", "Nie można otworzyć portu (kod błędu systemu: 2)"}));
    ExpectRestingState();
}

// Every value the gauge gets is drawn once its range is 30: the lines sent, divided by 10.
TEST_F(WindowUpload, TheGaugeGetsTheLinesSentDividedByTenWithTheRemainderDropped)
{
    const std::string expected = Prepare(HexLines(25));
    form_.Postep->SetMaxValue(30);
    std::vector<std::int32_t> drawn;
    painting_ = [&](QObject* watched) {
        if (watched == form_.Postep && (drawn.empty() || drawn.back() != form_.Postep->Progress()))
            drawn.push_back(form_.Postep->Progress());
    };
    PtyReader reader(pty_.Master());
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(drawn, (std::vector<std::int32_t>{1, 2, 0}));
}

TEST_F(WindowUpload, AStopSignalReleasesThePortAndEndsTheProgram)
{
    TStopSignals stopSignals;
    const std::string expected = Prepare(HexLines(1024));
    bool raised = false;
    painting_ = [&](QObject*) {
        if (!raised && form_.Postep->Percent() >= 10)
            raised = std::raise(SIGTERM) == 0;
    };
    PtyReader reader(pty_.Master());
    QTimer::singleShot(0, form_.Send, &QPushButton::click);
    testing::internal::CaptureStderr();
    EXPECT_EQ(QApplication::exec(), 128 + SIGTERM);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(raised && errors_.empty());
    EXPECT_FALSE(form_.RS232.Connected() || PortIsExclusive(pty_.Path()));
    // What went out is the stream's start, up to where the signal came, and stays sent.
    reader.Stop();
    pty_.ReleaseSlave();
    const std::string received = reader.Bytes() + pty_.Receive(SIZE_MAX, 5s);
    EXPECT_EQ(report, "vorn-transmitter: upload stopped by SIGTERM after " + std::to_string(received.size()) + " of " +
                          std::to_string(expected.size()) + " bytes were sent\n");
    EXPECT_LT(received.size(), expected.size() / 2);
    EXPECT_EQ(received, expected.substr(0, received.size()));
}

// One QApplication for the whole program, made before any widget.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    InitTextLookup();
    InitComErrorMessages();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
