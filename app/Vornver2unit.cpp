#include "app/Vornver2unit.h"

#include "app/MessageBoxes.h"
#include "app/ToolkitTexts.h"
#include "app/TransmitterPort.h"
#include "app/Upload.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSocketNotifier>
#include <cstdio>

namespace {

std::string ToUtf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

bool IsUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}

} // namespace

// The window's side of the upload: each change is drawn before the call returns,
// since the message loop stands still while the upload runs.
class TForm1::TWindowUploadView : public TUploadView {
public:
    explicit TWindowUploadView(TForm1& form) : form_(form) {}

    void SetProgress(std::int32_t value) override { form_.Postep->SetProgress(value); }
    void SetStatusText(const std::string& text) override
    {
        form_.StatusBar->showMessage(QString::fromStdString(text));
        form_.StatusBar->repaint();
    }
    void SetSendEnabled(bool enabled) override { form_.Send->setEnabled(enabled); }
    void ShowMissingFile(const std::string& message) override { ShowErrorBox(&form_, message); }

private:
    TForm1& form_;
};

TForm1::TForm1(QWidget* parent, std::string port) : QWidget(parent), RS232(nullptr), port_(std::move(port))
{
    // The toolkit's own texts, the file dialog's among them, in the catalogues' language.
    LoadToolkitTranslations();
    ReadStoredForm();
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(335, 352);
    MakeOpenDialog();
    Send->installEventFilter(this);
    connect(Open, &QPushButton::clicked, this, &TForm1::OpenClick);
    connect(Send, &QPushButton::clicked, this, &TForm1::SendClick);
    WatchStopSignals();
    CentreOnDesktop();
}

TForm1::~TForm1()
{
    try {
        RS232.Close();
    } catch (...) {
        HandleCurrentException();
    }
}

void TForm1::ReadStoredForm()
{
    // The layout is fixed in pixels for that family's narrow 8-point letters; of the free
    // families, FreeSans has widths close enough for every label to fit its box.
    QFont::insertSubstitution("MS Sans Serif", "FreeSans");
    {
        TStoredFormReading reading;
        setupUi(this);
        RS232.BeginLoading();
        LoadTransmitterPortSettings(RS232);
        RS232.SetPort(port_);
    }
    // Labels size themselves to their text in the font at hand.
    for (auto* label : findChildren<QLabel*>())
        label->resize(label->sizeHint());
    Bevel1->lower();
    Postep->FinishLoading();
    RunCommand([this] { RS232.FinishLoading(); });
}

void TForm1::MakeOpenDialog()
{
    OpenHEX = new QFileDialog(this);
    OpenHEX->setObjectName("OpenHEX");
    OpenHEX->setNameFilter("Intel HEX file (*.hex)");
    OpenHEX->setFileMode(QFileDialog::AnyFile);
    OpenHEX->setAcceptMode(QFileDialog::AcceptOpen);
    OpenHEX->setOption(QFileDialog::DontUseNativeDialog);  // so that it can be placed
    OpenHEX->setSizeGripEnabled(true);
    OpenHEX->selectFile("*.hex");
}

void TForm1::CentreOnDesktop()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::PlaceOpenDialog()
{
    QWidget* active = QApplication::activeWindow();
    const QScreen* screen = active ? active->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect monitor = screen->geometry();
    const QSize size = OpenHEX->size();
    OpenHEX->move(monitor.left() + (monitor.width() - size.width()) / 2,
                  monitor.top() + (monitor.height() - size.height()) / 3);
}

void TForm1::OpenClick()
{
    RunCommand([this] {
        PlaceOpenDialog();
        if (OpenHEX->exec() != QDialog::Accepted || OpenHEX->selectedFiles().isEmpty())
            return;
        const QString path = OpenHEX->selectedFiles().first();
        File_name->setText(path);
        OpenHEX->selectFile(path);
        QDir::setCurrent(QFileInfo(path).absolutePath());
    });
}

void TForm1::SendClick()
{
    holdSendInput_ = true;
    TBankNames names;
    QLineEdit* banks[] = {Bank1, Bank2, Bank3, Bank4, Bank5, Bank6, Bank7, Bank8};
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = ToUtf8(banks[i]->text());
    TWindowUploadView view(*this);
    RunCommand([&] {
        try {
            RunUpload(RS232, ToUtf8(File_name->text()), names, view);
        } catch (const EUploadStopped& stop) {
            EndOnStopSignal(stop.what());
        }
    });
    DropHeldSendInput();
}

// A stop signal while the window lives: the port is released as Close releases
// it, and the program ends with the status a shell expects of that signal.
void TForm1::WatchStopSignals()
{
    if (TStopSignals::NotifierFd() < 0)
        return;
    auto* notifier = new QSocketNotifier(TStopSignals::NotifierFd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
        notifier->setEnabled(false);
        EndOnStopSignal({});
    });
}

void TForm1::EndOnStopSignal(const std::string& report)
{
    RunCommand([this] { RS232.Close(); });
    if (!report.empty())
        std::fprintf(stderr, "vorn-transmitter: %s\n", report.c_str());
    QCoreApplication::exit(ExitStatusFor(TStopSignals::Received()));
}

// Clicks and keys aimed at Send while the upload kept the loop busy are still
// queued, and Send is enabled again: delivered now, while they are held, they start
// no second upload. (Waiting for the loop's next idle moment is not enough: some
// event dispatchers report that moment before they deliver what is queued.)
void TForm1::DropHeldSendInput()
{
    QCoreApplication::processEvents();
    holdSendInput_ = false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Send && holdSendInput_ && IsUserInput(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TForm1::RunCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (...) {
        HandleCurrentException();
    }
}
