// The upload driven through the window: Send, the gauge, the status bar, the boxes.
#include "app/MessageBoxes.h"
#include "app/Upload.h"
#include "app/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Calls `seen` for every paint of `widget`, before it is drawn.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, std::function<void()> seen) : seen_(std::move(seen))
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            seen_();
        return false;
    }

private:
    std::function<void()> seen_;
};

std::string HexLines(std::size_t count)
{
    std::string text;
    char line[48];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, ":04%04X0012%02XAB%02X00\n", unsigned(i * 4 & 0xFFFF),
                      unsigned(i & 0xFF), unsigned(i >> 8 & 0xFF));
        text += line;
    }
    return text;
}

class WindowUpload : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("COM1_DEVICE", pty_.Path().c_str(), 1);
        SetApplicationExceptionHandler([this](const std::exception& e) { errors_.push_back(e.what()); });
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
        form_.Bank1->setText("Zażółć gęślą");
        form_.Bank3->setText("Ostatni");
    }
    void TearDown() override
    {
        SetApplicationExceptionHandler(nullptr);
        unsetenv("COM1_DEVICE");
    }

    std::string Expected(const std::string& path) const
    {
        TBankNames names;
        names[0] = "Zażółć gęślą";
        names[2] = "Ostatni";
        std::string bytes;
        WriteUploadStream(path, names, [&](std::uint8_t b) { bytes += char(b); });
        return bytes;
    }

    void ExpectRestingState() const
    {
        EXPECT_TRUE(form_.Send->isEnabled());
        EXPECT_EQ(form_.Postep->Progress(), 0);
        EXPECT_TRUE(form_.StatusBar->currentMessage().isEmpty());
        EXPECT_FALSE(form_.RS232.Connected());
    }

    TempDir dir_;
    PtyPair pty_;
    TForm1 form_;
    std::vector<std::string> errors_;
};

} // namespace

TEST_F(WindowUpload, SendsTheWholeStreamWhileGaugeAndStatusBarRedraw)
{
    const auto path = dir_.Write("p.hex", HexLines(1024) + ":00000001FF\n").string();
    form_.File_name->setText(QString::fromStdString(path));
    std::vector<std::int32_t> painted;
    std::vector<QString> statusShown;
    PaintWatch gauge(form_.Postep, [&] { painted.push_back(form_.Postep->Percent()); });
    PaintWatch status(form_.StatusBar, [&] { statusShown.push_back(form_.StatusBar->currentMessage()); });

    PtyReader reader(pty_.Master());
    form_.Send->click();
    const std::string expected = Expected(path);
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(reader.Bytes(), expected);
    EXPECT_TRUE(errors_.empty());
    ExpectRestingState();

    // One paint a whole percent while the loop stood still, then back to 0.
    ASSERT_GE(painted.size(), 100u);
    EXPECT_LE(painted.size(), 102u);
    EXPECT_TRUE(std::is_sorted(painted.begin(), painted.end() - 1));
    EXPECT_EQ(painted[painted.size() - 2], 100);
    EXPECT_EQ(painted.back(), 0);
    EXPECT_NE(std::find(statusShown.begin(), statusShown.end(), DataPhaseText), statusShown.end());
    EXPECT_NE(std::find(statusShown.begin(), statusShown.end(), NamePhaseText), statusShown.end());
}

TEST_F(WindowUpload, MissingFileShowsTheErrorBoxOnly)
{
    form_.RS232.SetBaudRate(br9600);
    form_.File_name->setText(QString::fromStdString((dir_.Path() / "gone.hex").string()));
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->windowTitle() + "|" + box->text();
        box->buttons().first()->click();
    });
    form_.Send->click();
    EXPECT_EQ(shown, QString("Error|") + MissingFileText);
    EXPECT_EQ(form_.RS232.BaudRate(), br600);
    EXPECT_TRUE(errors_.empty());
    ExpectRestingState();
    EXPECT_EQ(pty_.Receive(1, 20ms), "");
}

TEST_F(WindowUpload, AnErrorReachesTheTopLevelHandlerAndTheWindowGoesOn)
{
    setenv("COM1_DEVICE", (dir_.Path() / "ttyNone").c_str(), 1);
    form_.File_name->setText(QString::fromStdString(dir_.Write("p.hex", HexLines(2)).string()));
    form_.Send->click();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "Unable to open com port (win error code: 2)");
    ExpectRestingState();
}

TEST_F(WindowUpload, ClicksOnSendDuringTheUploadStartNoSecondOne)
{
    const auto path = dir_.Write("p.hex", HexLines(300)).string();
    form_.File_name->setText(QString::fromStdString(path));
    const QPoint centre = form_.Send->rect().center();
    bool clicked = false;
    PaintWatch gauge(form_.Postep, [&] {
        if (clicked || form_.Postep->Percent() == 0)
            return;
        clicked = true;
        // Input made now is only delivered once the upload has returned.
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(form_.Send, new QMouseEvent(type, QPointF(centre), form_.Send->mapToGlobal(QPointF(centre)),
                                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    });
    PtyReader reader(pty_.Master());
    form_.Send->click();
    const std::size_t once = Expected(path).size();
    EXPECT_TRUE(reader.WaitFor(once, 5s));
    QTest::qWait(100);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(reader.WaitFor(once + 1, 200ms));
    ExpectRestingState();

    // A click after the upload has returned starts the next one as usual.
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(2 * once, 5s));
}

TEST_F(WindowUpload, AStopSignalReleasesThePortAndEndsTheProgram)
{
    TStopSignals stopSignals;
    const auto path = dir_.Write("p.hex", HexLines(1024)).string();
    form_.File_name->setText(QString::fromStdString(path));
    bool raised = false;
    PaintWatch gauge(form_.Postep, [&] {
        if (!raised && form_.Postep->Percent() >= 10)
            raised = std::raise(SIGTERM) == 0;
    });
    PtyReader reader(pty_.Master());
    QTimer::singleShot(0, form_.Send, &QPushButton::click);
    EXPECT_EQ(QApplication::exec(), 128 + SIGTERM);
    EXPECT_TRUE(raised);
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(form_.RS232.Connected());
    EXPECT_FALSE(PortIsExclusive(pty_.Path()));
    // What went out is the stream's start, up to where the signal came, and stays sent.
    reader.Stop();
    pty_.ReleaseSlave();
    const std::string received = reader.Bytes() + pty_.Receive(SIZE_MAX, 5s);
    const std::string expected = Expected(path);
    EXPECT_GE(received.size(), 400u);
    EXPECT_LT(received.size(), expected.size() / 2);
    EXPECT_EQ(received, expected.substr(0, received.size()));
}
