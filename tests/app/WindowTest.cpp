// The window on Qt's offscreen platform: its controls, boxes, Open command and
// the upload driven through Send.
#include "app/MessageBoxes.h"
#include "app/ToolkitTexts.h"
#include "app/Vornver2unit.h"
#include "upload/Upload.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "PtyPair.h"
#include "TempDir.h"
#include <QTest>
#include <QtWidgets>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

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
TEST(Window, IsAFixedDialogCentredOnTheDesktop)
{
    TForm1 form;
    EXPECT_EQ(std::pair(form.minimumSize(), form.maximumSize()), std::pair(QSize(335, 352), QSize(335, 352)));
    EXPECT_EQ(form.pos(), QGuiApplication::primaryScreen()->availableGeometry().center() - form.rect().center());
    EXPECT_EQ(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
              Qt::WindowCloseButtonHint);
}

TEST(Window, SizesEveryLabelToItsTextWithinItsBox)
{
    TForm1 form;
    std::map<QString, int> widths{{"Label1", 119}, {"Label10", 36}, {"Label11", 107}, {"Label12", 36}};  // others 34
    for (const auto* label : form.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_EQ(label->geometry(), QRect(label->pos(), label->sizeHint())) << label->objectName().toStdString();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), std::max(widths[label->objectName()], 34))
            << label->objectName().toStdString();
    }
}

// Drawn with the cursor after the last letter, yet not scrolled.
TEST(Window, ShowsAWholeSixteenCharacterProgramName)
{
    TForm1 form;
    form.Bank1->setText("Program numer 12");
    form.Bank1->grab();
    EXPECT_EQ(form.Bank1->cursorPositionAt(QPoint(6, 10)), 0);
}

// The README shows this picture.
TEST(Window, DrawsTheWholeClientAreaAsItsPicture)
{
    TForm1 form;
    form.File_name->setText("/home/user/programs/demo.hex");
    form.Bank1->setText("Intro");
    form.Bank2->setText("Zażółć gęślą");
    const QPixmap picture = form.grab();
    EXPECT_EQ(picture.size(), QSize(335, 352));
    if (const char* folder = std::getenv("VORN_SCREENSHOT_DIR")) {
        EXPECT_TRUE(picture.save(QString(folder) + "/window-linux.png"));
    }
}

TEST(Window, KeepsTheBevelBelowEveryOtherControl)
{
    TForm1 form;
    EXPECT_EQ(form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).value(0), form.Bevel1);
}

TEST(Window, FinishesLoadingTheGaugeAndThePortOnceMade)
{
    TForm1 form;
    EXPECT_FALSE(form.RS232.Loading() || form.Postep->Loading() || form.RS232.Connected());
    EXPECT_EQ(form.RS232.Port(), "COM1");
}

TEST(Window, TheTopLevelBoxIsCaptionedWithTheTitleAndEndsItsTextWithAFullStop)
{
    QString shown, copied;
    DescribeNextBox(shown, copied);
    ShowTopLevelErrorBox(nullptr, "File not found");
    EXPECT_EQ(shown, "Vorn transmitter|File not found.|stop|OK default escape centred below");
}

TEST(Window, OpenOffersHexFilesAndPutsTheChosenPathInTheFileName)
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
    QDir::setCurrent(start);
}

TEST(Window, TheOpenDialogStartsAtTheLastFileInTheMiddleAThirdFromTheTop)
{
    TempDir dir;
    const auto file = dir.Write("program.hex", ":00000001FF\n");
    TForm1 form;
    form.OpenHEX->selectFile(QString::fromStdString(file.string()));
    form.File_name->setText("kept");
    WhenModal([&](QWidget*) {
        const QSize free = QGuiApplication::primaryScreen()->geometry().size() - form.OpenHEX->size();
        EXPECT_EQ(form.OpenHEX->pos(), QPoint(free.width() / 2, free.height() / 3));
        EXPECT_EQ(form.OpenHEX->selectedFiles().value(0).toStdString(), file.string());
        form.OpenHEX->reject();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text(), "kept");
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
        SetApplicationExceptionHandler([this](const std::exception& e) { errors_.push_back(e.what()); });
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
        form_.Bank1->setText("Zażółć gęślą");
        form_.Bank3->setText("Ostatni");
    }
    ~WindowUpload() override { SetApplicationExceptionHandler(nullptr); }
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

    // A loop that waits for input, as the application's does.
    static void RunIdleLoop()
    {
        QEventLoop idle;
        QTimer::singleShot(100, &idle, &QEventLoop::quit);
        idle.exec();
    }

    TempDir dir_;
    PtyPair pty_;
    std::function<void(QObject*)> painting_ = [](QObject*) {};  // outlives the form it watches
    TForm1 form_{nullptr, pty_.Path()};
    std::vector<std::string> errors_;
};

TEST_F(WindowUpload, AMissingFileShowsTheErrorBoxWhoseTextCtrlCCopies)
{
    form_.File_name->setText(QString::fromStdString((dir_.Path() / "gone.hex").string()));
    QString shown, copied;
    DescribeNextBox(shown, copied);
    form_.Send->click();
    EXPECT_EQ(shown, QString("Error|") + MissingFileText + "|stop|OK default escape centred below");
    const QString rule(27, '-');
    EXPECT_EQ(copied, QStringList({rule, "Error", rule, MissingFileText, rule, "OK   ", rule, ""}).join("\r\n"));
}

// The loop stands still during the upload: every change is drawn before the next byte.
TEST_F(WindowUpload, TheGaugeRedrawsAtEveryWholePercentAndTheStatusBarAtOnce)
{
    const std::string expected = Prepare(HexLines(1024) + ":00000001FF\n");
    std::vector<std::int32_t> painted;
    QStringList statusShown;
    bool sendEnabled = false;
    painting_ = [&](QObject* watched) {
        if (watched == form_.StatusBar) {
            statusShown.push_back(form_.StatusBar->currentMessage() + "@" + QString::number(form_.Postep->Percent()));
            return;
        }
        painted.push_back(form_.Postep->Percent());
        sendEnabled = sendEnabled || (painted.back() > 0 && form_.Send->isEnabled());
    };
    PtyReader reader(pty_.Master());
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    ASSERT_GE(painted.size(), 100u);
    EXPECT_LE(painted.size(), 102u);
    EXPECT_TRUE(std::is_sorted(painted.begin(), painted.end() - 1));
    EXPECT_EQ(std::tuple(painted[painted.size() - 2], painted.back(), sendEnabled), std::tuple(100, 0, false));
    EXPECT_TRUE(statusShown.contains(DataPhaseText + QString("@0")) &&
                statusShown.contains(NamePhaseText + QString("@100"))) << statusShown.join(", ").toStdString();
    EXPECT_TRUE(form_.Send->isEnabled() && form_.StatusBar->currentMessage().isEmpty());
}

// A click made during the upload is delivered once it has returned; a click after it works.
TEST_F(WindowUpload, AClickQueuedDuringAnUploadStartsNoSecondOne)
{
    const std::string expected = Prepare(HexLines(200));
    const QPointF centre = form_.Send->rect().center(), global = form_.Send->mapToGlobal(centre);
    bool posted = false;
    painting_ = [&](QObject* watched) {
        if (watched != form_.Postep || posted || form_.Postep->Percent() == 0)
            return;
        posted = true;
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(form_.Send, new QMouseEvent(type, centre, global, Qt::LeftButton,
                                                                    Qt::LeftButton, Qt::NoModifier));
    };
    PtyReader reader(pty_.Master());
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    RunIdleLoop();
    EXPECT_TRUE(posted);
    EXPECT_FALSE(reader.WaitFor(expected.size() + 1, 200ms));
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(2 * expected.size(), 5s));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(WindowUpload, AStopSignalReleasesThePortAndEndsTheProgramWithItsStatus)
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
    EXPECT_NE(report.find("vorn-transmitter: upload stopped by SIGTERM after "), std::string::npos) << report;
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
