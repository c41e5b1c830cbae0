// Composition of the gauge's picture in off-screen images, apart from the widget.
#pragma once

#include "widgets/GaugeTypes.h"
#include "widgets/GdiShapes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <cstdint>

// Everything one paint needs, with the colours already resolved.
struct TGaugeLook {
    int width = 100;
    int height = 100;
    TGaugeKind kind = gkHorizontalBar;
    bool showText = true;
    TBorderStyle borderStyle = bsSingle;
    QColor foreColor = Qt::black;
    QColor backColor = Qt::white;
    QColor color = Qt::white;  // the gauge's own colour, behind pie and dial
    QFont font;
    std::int32_t percent = 0;
};

// The whole client rectangle, less a one-pixel ring for the border.
TRect GaugePaintRect(const TGaugeLook& look);

// The picture Paint copies onto the gauge: black ring, the kind's picture XORed in,
// then the percentage text XORed in. Null for a gauge without pixels.
QImage ComposeGaugePicture(const TGaugeLook& look);

// The picture of look.kind onto a black image (no text).
void DrawGaugeKind(QImage& image, const TGaugeLook& look, const TRect& rect);

// White "N%" on a black image, clipped to `rect`.
void DrawPercentText(QImage& image, const TGaugeLook& look, const TRect& rect);

// dst ^= src pixel by pixel (both RGB32, same size).
void XorInto(QImage& dst, const QImage& src);
