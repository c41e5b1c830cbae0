// What the Windows code of the runtime, the upload and the tools shares: UTF-8 names
// as Windows takes them, and Windows' error codes as the upload's file layer gives them.
#pragma once

#include "runtime/Exception.h"

#include <string>
#include <string_view>

// `name` (UTF-8) as UTF-16; text that is no UTF-8 is "Invalid filename".
std::wstring WideName(std::string_view name);
// UTF-8 text as UTF-16, for what a window shows; a malformed sequence shows as U+FFFD.
std::wstring WideText(std::string_view text);
// UTF-16 text as UTF-8.
std::string Utf8Text(std::wstring_view text);

// A Windows error code (GetLastError) as the error Linux gives for the same
// failure; a code without a counterpart keeps its number ("I/O error N").
EInOutError FileError(unsigned long code);
