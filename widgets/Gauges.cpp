#include "widgets/Gauges.h"

#include "widgets/TextMask.h"

#include <QPainter>

TGauge::TGauge(QWidget* parent, TComponent* owner) : QWidget(parent), TComponent(owner)
{
    // Every pixel is painted, so the parent need not paint beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
}

void TGauge::SetMinValue(std::int32_t value) { RepaintIf(model_.SetMinValue(value)); }
void TGauge::SetMaxValue(std::int32_t value) { RepaintIf(model_.SetMaxValue(value)); }
void TGauge::SetProgress(std::int32_t value) { RepaintIf(model_.SetProgress(value)); }
void TGauge::SetKind(TGaugeKind value) { RepaintIf(model_.SetKind(value)); }
void TGauge::SetShowText(bool value) { RepaintIf(model_.SetShowText(value)); }
void TGauge::SetBorderStyle(TBorderStyle value) { RepaintIf(model_.SetBorderStyle(value)); }
void TGauge::SetForeColor(TColor value) { RepaintIf(model_.SetForeColor(value)); }
void TGauge::SetBackColor(TColor value) { RepaintIf(model_.SetBackColor(value)); }
void TGauge::SetColor(TColor value) { RepaintIf(model_.SetColor(value)); }
void TGauge::SetParentColor(bool value) { RepaintIf(model_.SetParentColor(value)); }

QImage TGauge::Picture() const
{
    const QPalette& colors = palette();
    const auto resolve = [&](TColor color) { return ColorToQColor(color, colors).rgb(); };
    const QRgb parent = colors.color(QPalette::Active, QPalette::Window).rgb();
    const QFont letters = font();
    const TGaugeBitmap bitmap = ComposeGaugePicture(model_.Look(width(), height(), resolve, parent),
                                                    [&](const std::string& text) { return QtTextMask(letters, text); });
    if (bitmap.width == 0)
        return {};
    // RGB32 wants its alpha byte at 0xFF.
    QImage picture(bitmap.width, bitmap.height, QImage::Format_RGB32);
    for (int y = 0; y < bitmap.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < bitmap.width; ++x)
            row[x] = 0xFF000000u | bitmap.At(x, y);
    }
    return picture;
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

void TGauge::RepaintIf(bool changed)
{
    // repaint() draws nothing for a hidden gauge or one whose window is not shown.
    if (changed)
        repaint();
}
