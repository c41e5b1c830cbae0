#include "widgets/TextMask.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

TTextMask QtTextMask(const QFont& font, const std::string& text)
{
    QFont crisp = font;
    crisp.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(crisp);
    const QString letters = QString::fromStdString(text);
    TTextMask mask;
    mask.advance = metrics.horizontalAdvance(letters);
    mask.lineHeight = metrics.height();
    mask.ascent = metrics.ascent();
    // A line's height of room on every side: letters may reach beyond their advance.
    const int margin = mask.lineHeight;
    mask.originX = margin;
    mask.baseline = margin + mask.ascent;
    mask.width = mask.advance + 2 * margin;
    mask.height = mask.lineHeight + 2 * margin;
    QImage image(mask.width, mask.height, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setFont(crisp);
        painter.setPen(Qt::white);
        painter.drawText(mask.originX, mask.baseline, letters);
    }
    mask.ink.resize(std::size_t(mask.width) * std::size_t(mask.height));
    for (int y = 0; y < mask.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < mask.width; ++x)
            mask.ink[std::size_t(y) * std::size_t(mask.width) + std::size_t(x)] = (row[x] & 0xFFFFFFu) != 0;
    }
    return mask;
}
