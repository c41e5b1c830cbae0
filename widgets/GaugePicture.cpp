#include "widgets/GaugePicture.h"

#include "widgets/BltBitmap.h"

#include <QFontMetrics>
#include <QPainter>
#include <cstring>

TRect GaugePaintRect(const TGaugeLook& look)
{
    if (look.borderStyle == bsSingle)
        return {1, 1, look.width - 1, look.height - 1};
    return {0, 0, look.width, look.height};
}

void XorInto(QImage& dst, const QImage& src)
{
    const int width = std::min(dst.width(), src.width());
    for (int y = 0; y < std::min(dst.height(), src.height()); ++y) {
        auto* to = reinterpret_cast<QRgb*>(dst.scanLine(y));
        const auto* from = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < width; ++x)
            to[x] ^= from[x] & 0x00FFFFFFu;  // RGB32 keeps its alpha byte at 0xFF
    }
}

void DrawPercentText(QImage& image, const TGaugeLook& look, const TRect& rect)
{
    QFont font = look.font;
    font.setStyleStrategy(QFont::NoAntialias);  // crisp letters invert cleanly
    const QFontMetrics metrics(font);
    const QString text = QString::number(look.percent) + QLatin1Char('%');
    const int x = (rect.right - rect.left + 1 - metrics.horizontalAdvance(text)) / 2;
    const int y = (rect.bottom - rect.top + 1 - metrics.height()) / 2;
    QPainter painter(&image);
    painter.setClipRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(x, y + metrics.ascent(), text);
}

QImage ComposeGaugePicture(const TGaugeLook& look)
{
    if (look.width <= 0 || look.height <= 0)
        return {};
    QImage picture(look.width, look.height, QImage::Format_RGB32);
    picture.fill(Qt::black);
    const TRect rect = GaugePaintRect(look);
    {
        TBltBitmap overlay;
        overlay.MakeLike(picture);
        overlay.fill(Qt::black);
        DrawGaugeKind(overlay, look, rect);
        XorInto(picture, overlay);
    }
    if (look.showText) {
        TBltBitmap text;
        text.MakeLike(picture);
        text.fill(Qt::black);
        DrawPercentText(text, look, rect);
        XorInto(picture, text);
    }
    return picture;
}
