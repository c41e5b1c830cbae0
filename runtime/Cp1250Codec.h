// What each platform converts for Cp1250.cpp, which has already dealt with malformed
// UTF-8, characters beyond U+FFFF and the codes CP1250 leaves undefined.
#pragma once

#include <string>
#include <string_view>

// Well-formed UTF-8 of the Basic Multilingual Plane to CP1250; a character CP1250
// lacks becomes one '?'.
std::string EncodeCp1250(std::string_view utf8);

// CP1250 with every code defined to UTF-8.
std::string DecodeCp1250(std::string_view cp1250);
