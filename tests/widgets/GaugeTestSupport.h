// A gauge that counts its paints; the gauge benchmark uses it too.
#pragma once

#include "widgets/Gauges.h"

struct CountingGauge : TGauge {
    using TGauge::TGauge;
    void Paint() override { ++paints, TGauge::Paint(); }
    int paints = 0;
};
