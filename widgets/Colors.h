// The toolkit's side of the gauge's colours: system colours from a palette.
#pragma once

#include "gauge/GaugeColors.h"

#include <QColor>
#include <QPalette>

// The colour to draw with; system colours come from `palette` (active group).
QColor ColorToQColor(TColor color, const QPalette& palette);

// A direct colour value for an RGB colour.
TColor QColorToColor(const QColor& color);
