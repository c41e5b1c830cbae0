#include "app/Vornver2unit.h"

#include "app/MessageBoxes.h"
#include "app/ToolkitTexts.h"
#include "runtime/Component.h"
#include "runtime/StopSignals.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSocketNotifier>

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

TForm1::TForm1(QWidget* parent, std::string port) : QWidget(parent), form_(*this, std::move(port))
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

TForm1::~TForm1() = default;

void TForm1::ReadStoredForm()
{
    // The layout is fixed in pixels for that family's narrow 8-point letters; of the free
    // families, FreeSans has widths close enough for every label to fit its box.
    QFont::insertSubstitution("MS Sans Serif", "FreeSans");
    {
        TStoredFormReading reading;
        setupUi(this);
        form_.ReadStoredPort();
    }
    // Labels size themselves to their text in the font at hand.
    for (auto* label : findChildren<QLabel*>())
        label->resize(label->sizeHint());
    Bevel1->lower();
    Postep->FinishLoading();
    form_.FinishLoading();
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

void TForm1::WatchStopSignals()
{
    if (TStopSignals::NotifierFd() < 0)
        return;
    auto* notifier = new QSocketNotifier(TStopSignals::NotifierFd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
        notifier->setEnabled(false);
        form_.StopSignalArrived();
    });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Send && form_.HoldsSendInput() && IsUserInput(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

std::string TForm1::FileName() const
{
    return ToUtf8(File_name->text());
}

void TForm1::SetFileName(const std::string& path)
{
    File_name->setText(QString::fromStdString(path));
}

TBankNames TForm1::BankNames() const
{
    const QLineEdit* const banks[] = {Bank1, Bank2, Bank3, Bank4, Bank5, Bank6, Bank7, Bank8};
    TBankNames names;
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = ToUtf8(banks[i]->text());
    return names;
}

std::optional<std::string> TForm1::ChooseHexFile()
{
    PlaceOpenDialog();
    if (OpenHEX->exec() != QDialog::Accepted || OpenHEX->selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = OpenHEX->selectedFiles().first();
    OpenHEX->selectFile(path);  // the next time the dialog starts there
    return ToUtf8(path);
}

void TForm1::SetProgress(std::int32_t value)
{
    Postep->SetProgress(value);
}

// Drawn before the call returns, since the message loop stands still meanwhile.
void TForm1::SetStatusText(const std::string& text)
{
    StatusBar->showMessage(QString::fromStdString(text));
    StatusBar->repaint();
}

void TForm1::SetSendEnabled(bool enabled)
{
    Send->setEnabled(enabled);
}

void TForm1::ShowBox(const std::string& caption, const std::string& message)
{
    ShowMessageBox(this, caption, message);
}

// Waiting for the loop's next idle moment is not enough: some event dispatchers
// report that moment before they deliver what is queued.
void TForm1::DeliverQueuedInput()
{
    QCoreApplication::processEvents();
}

void TForm1::Quit(int status)
{
    QCoreApplication::exit(status);
}
