// The window as its stored form describes it: controls, texts, colours, order.
#include "app/Vornver2unit.h"

#include <QFileDialog>
#include <QLabel>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Placed {
    const char* name;
    QRect geometry;
};

QColor TextColour(const QWidget* widget)
{
    return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

} // namespace

TEST(WindowLayout, ControlsSitAtTheirPixelPositions)
{
    TForm1 form;
    const Placed controls[] = {
        {"Open", {232, 32, 89, 22}},     {"Send", {232, 267, 89, 22}},
        {"File_name", {16, 32, 209, 21}}, {"Bevel1", {16, 64, 209, 225}},
        {"Postep", {56, 304, 265, 20}},   {"StatusBar", {0, 333, 335, 19}},
        {"Bank1", {64, 88, 105, 21}},     {"Bank8", {64, 256, 105, 21}},
    };
    for (const auto& c : controls) {
        auto* widget = form.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
    }
    QLineEdit* banks[] = {form.Bank1, form.Bank2, form.Bank3, form.Bank4,
                          form.Bank5, form.Bank6, form.Bank7, form.Bank8};
    QLabel* labels[] = {form.Label2, form.Label3, form.Label4, form.Label5,
                        form.Label6, form.Label7, form.Label8, form.Label9};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(banks[i]->geometry(), QRect(64, 88 + 24 * i, 105, 21));
        EXPECT_EQ(labels[i]->pos(), QPoint(24, 92 + 24 * i));
        EXPECT_EQ(labels[i]->text(), QString("Prog.%1:").arg(i + 1));
        EXPECT_EQ(TextColour(labels[i]), QColor(0, 0, 255));
        EXPECT_EQ(banks[i]->maxLength(), 16);
    }
    // Labels keep their place and size themselves to their text.
    EXPECT_EQ(form.Label1->pos(), QPoint(16, 16));
    EXPECT_EQ(form.Label10->pos(), QPoint(16, 306));
    EXPECT_EQ(form.Label11->pos(), QPoint(20, 68));
    EXPECT_EQ(form.Label12->pos(), QPoint(288, 8));
    EXPECT_EQ(form.Label1->size(), form.Label1->sizeHint());
}

TEST(WindowLayout, TextsFontsAndColours)
{
    TForm1 form;
    EXPECT_EQ(form.windowTitle(), "Vorn...");
    EXPECT_EQ(form.Open->text(), "Otwórz");
    EXPECT_EQ(form.Send->text(), "Wyślij");
    EXPECT_EQ(form.Label1->text(), "Nazwa pliku danych:");
    EXPECT_EQ(form.Label10->text(), "Postęp:");
    EXPECT_EQ(form.Label11->text(), "Nazwy programów:");
    EXPECT_EQ(form.Label12->text(), "ver. 1.0");
    EXPECT_EQ(TextColour(form.Label1), QColor(255, 0, 0));
    EXPECT_EQ(TextColour(form.Label10), QColor(255, 0, 0));
    EXPECT_EQ(TextColour(form.Label11), QColor(0, 128, 0));
    for (QWidget* bold : {static_cast<QWidget*>(form.Label1), static_cast<QWidget*>(form.Label11),
                          static_cast<QWidget*>(form.Open), static_cast<QWidget*>(form.Send)})
        EXPECT_TRUE(bold->font().bold()) << bold->objectName().toStdString();
    EXPECT_FALSE(form.Label10->font().bold());
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pointSize(), 8);
    EXPECT_FALSE(form.Open->autoDefault() || form.Send->autoDefault());
    EXPECT_EQ(form.File_name->maxLength(), QLineEdit().maxLength());
}

TEST(WindowLayout, FixedDialogFrameAndTabOrder)
{
    TForm1 form;
    EXPECT_EQ(form.size(), QSize(335, 352));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const auto flags = form.windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    const QWidget* expected[] = {form.Open,  form.Send,  form.File_name, form.Bank1,
                                 form.Bank2, form.Bank3, form.Bank4,     form.Bank5,
                                 form.Bank6, form.Bank7, form.Bank8};
    std::vector<const QWidget*> chain;
    QWidget* at = form.Open;
    for (int step = 0; step < 500 && chain.size() < std::size(expected); ++step, at = at->nextInFocusChain())
        if (at->parentWidget() == &form && (at->focusPolicy() & Qt::TabFocus))
            chain.push_back(at);
    EXPECT_EQ(chain, std::vector<const QWidget*>(std::begin(expected), std::end(expected)));
    for (QWidget* still : {static_cast<QWidget*>(form.Label1), static_cast<QWidget*>(form.Postep),
                           static_cast<QWidget*>(form.StatusBar), static_cast<QWidget*>(form.Bevel1)})
        EXPECT_EQ(still->focusPolicy(), Qt::NoFocus) << still->objectName().toStdString();
}

TEST(WindowLayout, StartsInTheRestingStateWithTheStoredPort)
{
    TForm1 form;
    EXPECT_TRUE(form.File_name->text().isEmpty());
    EXPECT_TRUE(form.Bank1->text().isEmpty());
    EXPECT_TRUE(form.Send->isEnabled());
    EXPECT_EQ(form.Postep->Progress(), 0);
    EXPECT_EQ(form.Postep->MinValue(), 0);
    EXPECT_EQ(form.Postep->MaxValue(), 102);
    EXPECT_FALSE(form.Postep->Loading());
    EXPECT_TRUE(form.StatusBar->currentMessage().isEmpty());
    EXPECT_FALSE(form.StatusBar->isSizeGripEnabled());

    const TComPort& port = form.RS232;
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.Loading());
    EXPECT_EQ(port.BaudRate(), br600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_EQ(EventsToMask(port.Events()), 0x5E7u);

    EXPECT_EQ(form.OpenHEX->nameFilters(), QStringList{"Intel HEX file (*.hex)"});
    EXPECT_EQ(form.OpenHEX->fileMode(), QFileDialog::AnyFile);
}
