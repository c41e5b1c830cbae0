// The window's stored form: every control with its place in pixels, text, font and
// colour, as data. Controls are listed in tab order; labels and frames take no focus.
#pragma once

#include "gauge/GaugeColors.h"

#include <span>
#include <windows.h>

enum class TControlKind { Label, Edit, NameEdit, Button };
enum class TFontStyle { Form, Bold };

struct TControlSpec {
    const char* name;
    TControlKind kind;
    RECT bounds;       // left, top, right, bottom in the client area
    const char* text;  // UTF-8
    TFontStyle font;
    TColor color;      // the text's colour (labels)
};

inline constexpr SIZE kClientSize{335, 352};
inline constexpr RECT kBevel1{16, 64, 16 + 209, 64 + 225};
inline constexpr RECT kPostep{56, 304, 56 + 265, 304 + 20};
inline constexpr RECT kStatusBar{0, 333, 335, 333 + 19};
inline constexpr int kNameLength = 16;
// Control ids: the listed controls' from kFirstControlId in list order, then these.
inline constexpr int kFirstControlId = 1000;
inline constexpr int kPostepId = 1100;
inline constexpr int kStatusBarId = 1101;

// Open, Send, File_name, Bank1..Bank8, then the labels.
std::span<const TControlSpec> StoredControls();

// The form's font, "MS Sans Serif" 11 pixels high (8 points at 96 dots per inch); the
// caller deletes it.
HFONT MakeFormFont(TFontStyle style);
