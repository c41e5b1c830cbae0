// The text forms of enumerations, one text a member in ordinal order.
#pragma once

#include <span>
#include <string>

// ASCII letters in upper case; texts compare so.
std::string UpperCase(std::string text);

// The ordinal of `text` among `texts`, compared in upper case; -1 when absent.
int FindText(std::span<const char* const> texts, const std::string& text);

template <typename E>
E ParseText(std::span<const char* const> texts, const std::string& text, E fallback)
{
    const int found = FindText(texts, text);
    return found < 0 ? fallback : static_cast<E>(found);
}
