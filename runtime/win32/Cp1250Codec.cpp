// CP1250 through the system's code page 1250.
#include "runtime/Cp1250Codec.h"

#include <stdexcept>
#include <windows.h>

namespace {

constexpr UINT kCp1250 = 1250;

std::wstring Wide(UINT codePage, std::string_view text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
    if (n <= 0 || MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), n) != n)
        throw std::runtime_error("the system cannot convert from code page " + std::to_string(codePage));
    return wide;
}

std::string Narrow(UINT codePage, const std::wstring& wide)
{
    if (wide.empty())
        return {};
    // No best fit: a character the code page lacks becomes '?', not a look-alike.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), nullptr, 0, fallback, nullptr);
    std::string text(std::size_t(n > 0 ? n : 0), '\0');
    if (n <= 0 ||
        WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), text.data(), n, fallback, nullptr) != n)
        throw std::runtime_error("the system cannot convert to code page " + std::to_string(codePage));
    return text;
}

} // namespace

std::string EncodeCp1250(std::string_view utf8)
{
    return Narrow(kCp1250, Wide(CP_UTF8, utf8));
}

std::string DecodeCp1250(std::string_view cp1250)
{
    return Narrow(CP_UTF8, Wide(kCp1250, cp1250));
}
