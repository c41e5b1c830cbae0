#include "app/MessageBoxes.h"

#include "form/BoxTexts.h"
#include "runtime/TextLookup.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {

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
            std::vector<std::string> captions;
            for (auto* button : buttons())
                captions.push_back(button->text().remove(QLatin1Char('&')).toStdString());
            const std::string copy = BoxClipboardText(windowTitle().toStdString(), text().toStdString(), captions);
            QApplication::clipboard()->setText(QString::fromStdString(copy));
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

void ShowMessageBox(QWidget* parent, const std::string& caption, const std::string& message)
{
    RunBox(parent, FromUtf8(caption), FromUtf8(message));
}

void ShowTopLevelErrorBox(QWidget* parent, const std::string& message)
{
    RunBox(parent, QString::fromUtf8(ApplicationTitle), FromUtf8(WithFullStop(message)));
}
