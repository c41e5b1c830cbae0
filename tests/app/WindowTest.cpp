// The window on Qt's offscreen platform: its controls, boxes, Open command and
// the upload driven through Send.
#include "app/MessageBoxes.h"
#include "app/Upload.h"
#include "app/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>
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

// The next message box as "caption|text|icon|buttons", closed with Escape after a Ctrl+C.
void DescribeNextBox(QString& shown, QString& copied)
{
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        QApplication::clipboard()->clear();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        copied = QApplication::clipboard()->text();
        shown = box->windowTitle() + "|" + box->text() + (box->icon() == QMessageBox::Critical ? "|stop" : "|");
        for (auto* button : box->buttons())
            shown += "|" + button->text() + (button == box->defaultButton() ? " default" : "") +
                     (button == box->escapeButton() ? " escape" : "");
        QTest::keyClick(box, Qt::Key_Escape);
    });
}

// Calls `seen` for every paint of `widget`, before it is drawn.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, std::function<void()> seen) : seen_(std::move(seen)) { widget->installEventFilter(this); }
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
        std::snprintf(line, sizeof line, ":04%04X0012%02XAB%02X00\n", unsigned(i * 4 & 0xFFFF), unsigned(i & 0xFF),
                      unsigned(i >> 8 & 0xFF));
        text += line;
    }
    return text;
}

} // namespace

TEST(Window, LaidOutAsStoredFixedInSizeAndCentred)
{
    TForm1 form;
    const QColor red(255, 0, 0), green(0, 128, 0), none;
    // Labels keep their place and size themselves to their text.
    const auto label = [](QLabel* l, int x, int y) { return QRect(QPoint(x, y), l->sizeHint()); };
    const struct {
        QWidget* widget;
        QRect geometry;
        QString text;
        QColor colour;
    } controls[] = {
        {form.Open, {232, 32, 89, 22}, "Otwórz", none}, {form.Send, {232, 267, 89, 22}, "Wyślij", none},
        {form.File_name, {16, 32, 209, 21}, "", none},  {form.Bevel1, {16, 64, 209, 225}, "", none},
        {form.Postep, {56, 304, 265, 20}, "", none},    {form.StatusBar, {0, 333, 335, 19}, "", none},
        {form.Label1, label(form.Label1, 16, 16), "Nazwa pliku danych:", red},
        {form.Label10, label(form.Label10, 16, 306), "Postęp:", red},
        {form.Label11, label(form.Label11, 20, 68), "Nazwy programów:", green},
        {form.Label12, label(form.Label12, 288, 8), "ver. 1.0", none},
    };
    for (const auto& c : controls) {
        const QString name = c.widget->objectName();
        EXPECT_EQ(c.widget->geometry(), c.geometry) << name.toStdString();
        EXPECT_EQ(c.widget->property("text").toString(), c.text) << name.toStdString();
        if (c.colour.isValid()) {
            EXPECT_EQ(c.widget->palette().color(QPalette::WindowText), c.colour) << name.toStdString();
        }
        EXPECT_EQ(c.widget->font().bold(), QStringList({"Open", "Send", "Label1", "Label11"}).contains(name))
            << name.toStdString();
    }
    QLineEdit* banks[] = {form.Bank1, form.Bank2, form.Bank3, form.Bank4, form.Bank5, form.Bank6, form.Bank7, form.Bank8};
    QLabel* labels[] = {form.Label2, form.Label3, form.Label4, form.Label5,
                        form.Label6, form.Label7, form.Label8, form.Label9};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(banks[i]->geometry(), QRect(64, 88 + 24 * i, 105, 21));
        EXPECT_EQ(banks[i]->maxLength(), 16);
        EXPECT_EQ(labels[i]->geometry(), label(labels[i], 24, 92 + 24 * i));
        EXPECT_EQ(labels[i]->text(), QString("Prog.%1:").arg(i + 1));
        EXPECT_EQ(labels[i]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    }
    EXPECT_EQ(form.windowTitle(), "Vorn...");
    EXPECT_EQ(form.font().family() + " " + QString::number(form.font().pointSize()), "MS Sans Serif 8");
    EXPECT_FALSE(form.Open->autoDefault() || form.Send->autoDefault());
    EXPECT_EQ(form.size(), QSize(335, 352));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.pos(), QGuiApplication::primaryScreen()->availableGeometry().center() - form.rect().center());
    EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);

    // Tab goes from the buttons to the file name and down the names; nothing else takes focus.
    std::vector<QWidget*> chain;
    for (QWidget* at = form.Open; chain.size() < 12; at = at->nextInFocusChain())
        if (at->parentWidget() == &form && at->focusPolicy() != Qt::NoFocus)
            chain.push_back(at);
    EXPECT_EQ(chain, std::vector<QWidget*>({form.Open, form.Send, form.File_name, form.Bank1, form.Bank2, form.Bank3,
                                            form.Bank4, form.Bank5, form.Bank6, form.Bank7, form.Bank8, form.Open}));

    EXPECT_EQ(form.Postep->MaxValue(), 102);
    EXPECT_FALSE(form.Postep->Loading() || form.StatusBar->isSizeGripEnabled());
    const TComPort& port = form.RS232;
    EXPECT_FALSE(port.Connected() || port.Loading());
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_EQ(EventsToMask(port.Events()), 0x5E7u);
}

TEST(Window, BoxesShowOneOkButtonAndCopyTheirText)
{
    QString shown, copied;
    DescribeNextBox(shown, copied);
    ShowErrorBox(nullptr, "Plik o podanej nazwie nie istnieje!");
    EXPECT_EQ(shown, "Error|Plik o podanej nazwie nie istnieje!|stop|OK default escape");
    const QString rule(27, '-');
    EXPECT_EQ(copied, QStringList({rule, "Error", rule, "Plik o podanej nazwie nie istnieje!", rule, "OK   ", rule, ""})
                          .join("\r\n"));
    // The top-level box adds a full stop after a last character that sorts above it.
    DescribeNextBox(shown, copied);
    ShowTopLevelErrorBox(nullptr, "File not found");
    EXPECT_EQ(shown, "Vorn transmitter|File not found.|stop|OK default escape");
    const std::pair<std::string, std::string> stops[] = {
        {"code (2)", "code (2)"}, {"Done.", "Done."}, {"Nie!", "Nie!"}, {"a-", "a-"}, {"a/", "a/."},
        {"zażółć", "zażółć."}, {"", ""}};
    for (const auto& [message, text] : stops)
        EXPECT_EQ(WithFullStop(message), text);
}

TEST(Window, OpenPutsTheChosenPathInTheFileNameAndMakesItsFolderCurrent)
{
    TempDir dir;
    const QString start = QDir::currentPath();
    const auto file = dir.Write("program.hex", ":00000001FF\n");
    TForm1 form;
    form.File_name->setText("typed by hand");
    WhenModal([&](QWidget* modal) {
        EXPECT_EQ(modal, form.OpenHEX);
        EXPECT_EQ(form.OpenHEX->nameFilters(), QStringList{"Intel HEX file (*.hex)"});
        form.OpenHEX->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(form.OpenHEX)->accept();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text().toStdString(), file.string());
    EXPECT_EQ(QDir::currentPath().toStdString(), dir.Path().string());

    // Cancelling keeps what is there; the dialog sits in the middle, a third from the top.
    form.File_name->setText("kept");
    WhenModal([&](QWidget*) {
        const QRect monitor = QGuiApplication::primaryScreen()->geometry();
        const QSize size = form.OpenHEX->size();
        EXPECT_EQ(form.OpenHEX->pos(), QPoint((monitor.width() - size.width()) / 2, (monitor.height() - size.height()) / 3));
        form.OpenHEX->reject();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text(), "kept");

    // A name that matches no file is taken as it is.
    WhenModal([&](QWidget*) {
        EXPECT_EQ(form.OpenHEX->selectedFiles().value(0).toStdString(), file.string());
        form.OpenHEX->findChild<QLineEdit*>("fileNameEdit")->setText("not-there");
        static_cast<QDialog*>(form.OpenHEX)->accept();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text().toStdString(), (dir.Path() / "not-there").string());
    QDir::setCurrent(start);
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

    // The stream of a file written now, and the file name typed in.
    std::string Prepare(const std::string& hex)
    {
        const auto path = dir_.Write("p.hex", hex).string();
        form_.File_name->setText(QString::fromStdString(path));
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

TEST_F(WindowUpload, SendsTheStreamOnceWhileGaugeAndStatusBarRedraw)
{
    const std::string expected = Prepare(HexLines(1024) + ":00000001FF\n");
    std::vector<std::int32_t> painted;
    std::vector<QString> statusShown;
    bool sendEnabled = false;
    const QPointF centre = form_.Send->rect().center();
    PaintWatch gauge(form_.Postep, [&] {
        painted.push_back(form_.Postep->Percent());
        sendEnabled = sendEnabled || (painted.back() > 0 && form_.Send->isEnabled());
        // A click made now is delivered once the upload has returned; it must start no second one.
        if (painted.back() == 1)
            for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(form_.Send, new QMouseEvent(type, centre, form_.Send->mapToGlobal(centre),
                                                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    });
    PaintWatch status(form_.StatusBar, [&] { statusShown.push_back(form_.StatusBar->currentMessage()); });

    PtyReader reader(pty_.Master());
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    QTest::qWait(100);
    EXPECT_FALSE(reader.WaitFor(expected.size() + 1, 200ms));
    EXPECT_EQ(reader.Bytes(), expected);
    EXPECT_TRUE(errors_.empty());
    ExpectRestingState();
    const PtyLine line = pty_.Line();
    EXPECT_EQ(line.OutputSpeed, 600u);
    EXPECT_EQ(line.Attributes.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(line.Attributes.c_iflag & (IXON | IXOFF), 0u);

    // One paint a whole percent while the loop stood still, Send disabled, then back to 0.
    ASSERT_GE(painted.size(), 100u);
    EXPECT_LE(painted.size(), 102u);
    EXPECT_TRUE(std::is_sorted(painted.begin(), painted.end() - 1));
    EXPECT_EQ(painted[painted.size() - 2], 100);
    EXPECT_EQ(painted.back(), 0);
    EXPECT_FALSE(sendEnabled);
    EXPECT_NE(std::find(statusShown.begin(), statusShown.end(), DataPhaseText), statusShown.end());
    EXPECT_NE(std::find(statusShown.begin(), statusShown.end(), NamePhaseText), statusShown.end());

    // A click after the upload has returned starts the next one as usual.
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(2 * expected.size(), 5s));
}

TEST_F(WindowUpload, AMissingFileShowsTheErrorBoxAndOtherErrorsReachTheTopLevelHandler)
{
    form_.RS232.SetBaudRate(br9600);
    form_.File_name->setText(QString::fromStdString((dir_.Path() / "gone.hex").string()));
    QString shown, copied;
    DescribeNextBox(shown, copied);
    form_.Send->click();
    EXPECT_EQ(shown, QString("Error|") + MissingFileText + "|stop|OK default escape");
    EXPECT_EQ(form_.RS232.BaudRate(), br600);
    EXPECT_TRUE(errors_.empty());
    ExpectRestingState();
    EXPECT_EQ(pty_.Receive(1, 20ms), "");

    // A file a writer holds fails once the port is open; the port stays open and carries the next upload.
    const std::string expected = Prepare(HexLines(2));
    const int writer = open((dir_.Path() / "p.hex").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    form_.Send->click();
    EXPECT_TRUE(form_.RS232.Connected());
    close(writer);
    PtyReader reader(pty_.Master());
    form_.Send->click();
    EXPECT_TRUE(reader.WaitFor(expected.size(), 5s));
    EXPECT_EQ(reader.Bytes(), expected);
    ExpectRestingState();

    // The gauge starts from 0 even when the port then fails to open.
    setenv("COM1_DEVICE", (dir_.Path() / "ttyNone").c_str(), 1);
    form_.Postep->SetProgress(50);
    form_.Send->click();
    EXPECT_EQ(errors_, (std::vector<std::string>{"I/O error 32", "Unable to open com port (win error code: 2)"}));
    ExpectRestingState();
}

TEST_F(WindowUpload, AStopSignalReleasesThePortAndEndsTheProgram)
{
    TStopSignals stopSignals;
    const std::string expected = Prepare(HexLines(1024));
    bool raised = false;
    PaintWatch gauge(form_.Postep, [&] {
        if (!raised && form_.Postep->Percent() >= 10)
            raised = std::raise(SIGTERM) == 0;
    });
    PtyReader reader(pty_.Master());
    QTimer::singleShot(0, form_.Send, &QPushButton::click);
    testing::internal::CaptureStderr();
    EXPECT_EQ(QApplication::exec(), 128 + SIGTERM);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(raised);
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(form_.RS232.Connected());
    EXPECT_FALSE(PortIsExclusive(pty_.Path()));
    // What went out is the stream's start, up to where the signal came, and stays sent.
    reader.Stop();
    pty_.ReleaseSlave();
    const std::string received = reader.Bytes() + pty_.Receive(SIZE_MAX, 5s);
    EXPECT_EQ(report, "vorn-transmitter: upload stopped by SIGTERM after " + std::to_string(received.size()) +
                          " bytes were sent\n");
    EXPECT_LT(received.size(), expected.size() / 2);
    EXPECT_EQ(received, expected.substr(0, received.size()));
}
