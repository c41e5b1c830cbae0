// Text forms of the settings that are saved and loaded beside the main ones of
// ComSettings.h. Each parse accepts any text and never fails.
#pragma once

#include "serial/ComSettings.h"

#include <cstdint>
#include <string>

// "Yes" or "No"; only "YES" in any case reads as true.
std::string BoolText(bool value);
bool ParseBool(const std::string& text);

// "Disable", "Enable", "Handshake"; an unknown text reads as dtrDisable.
std::string DTRText(TDTRFlowControl value);
TDTRFlowControl ParseDTR(const std::string& text);

// "Disable", "Enable", "Handshake", "Toggle"; an unknown text reads as rtsDisable.
std::string RTSText(TRTSFlowControl value);
TRTSFlowControl ParseRTS(const std::string& text);

// Codes 33 to 127 as the character itself, every other code as '#' and the code in
// decimal. Reading: empty text is code 0; '#' and more is the rest as a signed
// decimal number cut to its low 8 bits (0 when it is no number); else the first character.
std::string CharText(std::uint8_t value);
std::uint8_t ParseChar(const std::string& text);
