#include "serial/TextTable.h"

std::string UpperCase(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

int FindText(std::span<const char* const> texts, const std::string& text)
{
    const std::string wanted = UpperCase(text);
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (UpperCase(texts[i]) == wanted)
            return static_cast<int>(i);
    return -1;
}
