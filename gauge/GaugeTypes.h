// The gauge's one-byte enumerations.
#pragma once

#include <cstdint>

enum TGaugeKind : std::uint8_t { gkText = 0, gkHorizontalBar = 1, gkVerticalBar = 2, gkPie = 3, gkNeedle = 4 };

enum TBorderStyle : std::uint8_t { bsNone = 0, bsSingle = 1 };
