// The gauge's percentage text drawn by the toolkit, as the mask the core inverts.
#pragma once

#include "gauge/GaugePicture.h"

#include <QFont>

// The letters of `text` in `font` without antialiasing: crisp letters invert cleanly.
TTextMask QtTextMask(const QFont& font, const std::string& text);
