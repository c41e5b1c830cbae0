// Helpers for the gauge's tests: paint counting and pixel reading.
#pragma once

#include "widgets/Gauges.h"

#include <QImage>

// A gauge that counts its paints.
class CountingGauge : public TGauge {
public:
    using TGauge::TGauge;
    int paints = 0;

protected:
    void Paint() override
    {
        ++paints;
        TGauge::Paint();
    }
};

// The pixel as 0xRRGGBB.
inline unsigned Rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

constexpr unsigned kBlack = 0x000000;
constexpr unsigned kWhite = 0xFFFFFF;
