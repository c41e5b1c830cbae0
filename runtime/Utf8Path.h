// Paths to and from UTF-8 text. A std::string given to std::filesystem::path is taken in
// the C library's narrow encoding, which on Windows is not UTF-8; char8_t text always is.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

inline std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::u8string(utf8.begin(), utf8.end());
}

inline std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}
