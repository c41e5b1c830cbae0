#include "widgets/Gauges.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/TextLookup.h"
#include "widgets/GaugeMath.h"
#include "widgets/GaugePicture.h"

#include <QPainter>

namespace {

EInvalidOperation RangeError(std::int64_t low, std::int64_t high)
{
    return EInvalidOperation(FormatTemplate(RuntimeText("Value must be between %d and %d"), {low, high}));
}

} // namespace

TGauge::TGauge(QWidget* parent, TComponent* owner) : QWidget(parent), TComponent(owner)
{
    // Every pixel is painted, so the parent need not paint beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
}

std::int32_t TGauge::Percent() const
{
    return GaugePercent(progress_, minValue_, maxValue_);
}

void TGauge::SetMinValue(std::int32_t value)
{
    if (value == minValue_)
        return;
    if (value > maxValue_ && !Loading())
        throw RangeError(-2147483647, std::int64_t{maxValue_} - 1);
    minValue_ = value;
    if (value > progress_)
        progress_ = value;
    RepaintNow();
}

void TGauge::SetMaxValue(std::int32_t value)
{
    if (value == maxValue_)
        return;
    if (value < minValue_ && !Loading())
        throw RangeError(std::int64_t{minValue_} + 1, 2147483647);
    maxValue_ = value;
    if (value < progress_)
        progress_ = value;
    RepaintNow();
}

void TGauge::SetProgress(std::int32_t value)
{
    const std::int32_t before = Percent();
    if (value < minValue_)
        value = minValue_;
    else if (value > maxValue_)
        value = maxValue_;
    if (value == progress_)
        return;
    progress_ = value;
    if (Percent() != before)
        RepaintNow();
}

void TGauge::SetKind(TGaugeKind value)
{
    if (value == kind_ || value > gkNeedle)
        return;
    kind_ = value;
    RepaintNow();
}

void TGauge::SetShowText(bool value)
{
    if (value == showText_)
        return;
    showText_ = value;
    RepaintNow();
}

void TGauge::SetBorderStyle(TBorderStyle value)
{
    if (value == borderStyle_ || value > bsSingle)
        return;
    borderStyle_ = value;
    RepaintNow();
}

void TGauge::SetForeColor(TColor value)
{
    if (value == foreColor_)
        return;
    foreColor_ = value;
    RepaintNow();
}

void TGauge::SetBackColor(TColor value)
{
    if (value == backColor_)
        return;
    backColor_ = value;
    RepaintNow();
}

void TGauge::SetColor(TColor value)
{
    if (value == color_ && !parentColor_)
        return;
    color_ = value;
    parentColor_ = false;
    RepaintNow();
}

void TGauge::SetParentColor(bool value)
{
    if (value == parentColor_)
        return;
    parentColor_ = value;
    RepaintNow();
}

QImage TGauge::Picture() const
{
    const QPalette& colors = palette();
    TGaugeLook look;
    look.width = width();
    look.height = height();
    look.kind = kind_;
    look.showText = showText_;
    look.borderStyle = borderStyle_;
    look.foreColor = ColorToQColor(foreColor_, colors);
    look.backColor = ColorToQColor(backColor_, colors);
    look.color = parentColor_ ? colors.color(QPalette::Active, QPalette::Window) : ColorToQColor(color_, colors);
    look.font = font();
    look.percent = Percent();
    return ComposeGaugePicture(look);
}

void TGauge::Paint()
{
    const QImage picture = Picture();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, picture);
}

void TGauge::paintEvent(QPaintEvent*)
{
    Paint();
}

void TGauge::RepaintNow()
{
    // repaint() draws nothing for a hidden gauge or one whose window is not shown.
    repaint();
}
