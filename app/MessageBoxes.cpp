#include "app/MessageBoxes.h"

#include "runtime/TextLookup.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

const char* const ApplicationTitle = "Vorn transmitter";

namespace {

const QString kRule = QString(27, QLatin1Char('-'));

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A message box that answers Ctrl+C with a beep and a plain-text copy of itself.
class TCopyableBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QApplication::beep();
            QStringList captions;
            for (auto* button : buttons())
                captions << button->text().remove(QLatin1Char('&'));
            QApplication::clipboard()->setText(BoxClipboardText(windowTitle(), text(), captions));
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

void RunBox(QWidget* parent, const QString& caption, const QString& message)
{
    TCopyableBox box(QMessageBox::Critical, caption, message, QMessageBox::NoButton, parent);
    auto* ok = box.addButton(FromUtf8(RuntimeText("OK")), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setTextInteractionFlags(Qt::NoTextInteraction);
    // The button goes below the text in the middle, whatever the desktop's button layout.
    if (auto* buttons = box.findChild<QDialogButtonBox*>())
        buttons->setCenterButtons(true);
    box.exec();
}

} // namespace

QString BoxClipboardText(const QString& caption, const QString& message, const QStringList& buttons)
{
    const QString eol = QStringLiteral("\r\n");
    QString buttonLine;
    for (const auto& button : buttons)
        buttonLine += button + QStringLiteral("   ");
    return kRule + eol + caption + eol + kRule + eol + message + eol + kRule + eol + buttonLine +
           eol + kRule + eol;
}

std::string WithFullStop(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

void ShowErrorBox(QWidget* parent, const std::string& message)
{
    RunBox(parent, FromUtf8(RuntimeText("Error")), FromUtf8(message));
}

void ShowTopLevelErrorBox(QWidget* parent, const std::string& message)
{
    RunBox(parent, QString::fromUtf8(ApplicationTitle), FromUtf8(WithFullStop(message)));
}
