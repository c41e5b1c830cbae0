// 8-bit text of the Central European code page 1250, which the unit's names use.
#pragma once

#include <string>
#include <string_view>

// UTF-8 to CP1250; a character CP1250 lacks, or a malformed sequence, becomes '?'.
std::string Utf8ToCp1250(std::string_view utf8);

// CP1250 to UTF-8; the five codes CP1250 leaves undefined become '?'.
std::string Cp1250ToUtf8(std::string_view cp1250);
