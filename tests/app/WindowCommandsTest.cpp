// The window's boxes and its Open command.
#include "app/MessageBoxes.h"
#include "app/Vornver2unit.h"
#include "TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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

QString WithCrLf(const QStringList& lines)
{
    return lines.join("\r\n") + "\r\n";
}

} // namespace

TEST(ErrorBox, OneOkButtonStopIconAndACopyOfItsText)
{
    bool seen = false;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_EQ(box->text(), "Plik o podanej nazwie nie istnieje!");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->buttons().first()->text(), "OK");
        EXPECT_EQ(box->defaultButton(), box->buttons().first());
        EXPECT_EQ(box->escapeButton(), box->buttons().first());
        QApplication::clipboard()->clear();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        const QString rule(27, '-');
        EXPECT_EQ(QApplication::clipboard()->text(),
                  WithCrLf({rule, "Error", rule, "Plik o podanej nazwie nie istnieje!", rule, "OK   ", rule}));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    ShowErrorBox(nullptr, "Plik o podanej nazwie nie istnieje!");
    EXPECT_TRUE(seen);
}

TEST(TopLevelBox, AddsAFullStopOnlyAfterCharactersAboveIt)
{
    EXPECT_EQ(WithFullStop("File not found"), "File not found.");
    EXPECT_EQ(WithFullStop("Unable to open com port (win error code: 2)"),
              "Unable to open com port (win error code: 2)");
    EXPECT_EQ(WithFullStop("Done."), "Done.");
    EXPECT_EQ(WithFullStop("Nie istnieje!"), "Nie istnieje!");
    EXPECT_EQ(WithFullStop("code (2)"), "code (2)");
    EXPECT_EQ(WithFullStop("a-"), "a-");
    EXPECT_EQ(WithFullStop("zażółć"), "zażółć.");
    EXPECT_EQ(WithFullStop(""), "");

    bool seen = false;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->windowTitle(), "Vorn transmitter");
        EXPECT_EQ(box->text(), "File not found.");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->buttons().size(), 1);
        QTest::keyClick(box, Qt::Key_Return);
    });
    ShowTopLevelErrorBox(nullptr, "File not found");
    EXPECT_TRUE(seen);
}

class OpenCommand : public ::testing::Test {
protected:
    void TearDown() override { QDir::setCurrent(start_); }
    TempDir dir_;
    QString start_ = QDir::currentPath();
};

TEST_F(OpenCommand, ChosenPathFillsTheFileNameAndBecomesTheCurrentFolder)
{
    const auto file = dir_.Write("program.hex", ":00000001FF\n");
    TForm1 form;
    form.File_name->setText("typed by hand");
    WhenModal([&](QWidget* modal) {
        EXPECT_EQ(modal, form.OpenHEX);
        form.OpenHEX->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(form.OpenHEX)->accept();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text().toStdString(), file.string());
    EXPECT_EQ(QDir::currentPath().toStdString(), dir_.Path().string());

    // Cancelling keeps what is there; a name that matches no file is taken as it is.
    form.File_name->setText("kept");
    WhenModal([&](QWidget*) { form.OpenHEX->reject(); });
    form.Open->click();
    EXPECT_EQ(form.File_name->text(), "kept");

    WhenModal([&](QWidget*) {
        EXPECT_EQ(form.OpenHEX->selectedFiles().value(0).toStdString(), file.string());
        form.OpenHEX->findChild<QLineEdit*>("fileNameEdit")->setText("not-there");
        static_cast<QDialog*>(form.OpenHEX)->accept();
    });
    form.Open->click();
    EXPECT_EQ(form.File_name->text().toStdString(), (dir_.Path() / "not-there").string());
}
