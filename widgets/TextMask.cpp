#include "widgets/TextMask.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>

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
    // Room for the letters' ink wherever it reaches beyond the advance and the line.
    const QRect ink = metrics.boundingRect(letters);
    const int left = std::max(0, -ink.left()) + 1, right = std::max(0, ink.right() + 1 - mask.advance) + 1;
    const int above = std::max(0, -ink.top() - mask.ascent) + 1;
    const int below = std::max(0, ink.bottom() + 1 - (mask.lineHeight - mask.ascent)) + 1;
    mask.originX = left;
    mask.baseline = above + mask.ascent;
    mask.width = left + mask.advance + right;
    mask.height = above + mask.lineHeight + below;
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
