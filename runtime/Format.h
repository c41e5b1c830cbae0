// Fills a message template, translated or not, without trusting it.
//
// A translation may carry fewer, more or other %-sequences than the English text.
// Only "%d" (for an integer argument), "%s" (for a text argument), their positional
// forms "%N$d"/"%N$s" and "%%" are substituted; a placeholder that has no argument
// of its type left, and every other %-sequence, is copied as it stands.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

using FormatArg = std::variant<std::int64_t, std::string>;

std::string FormatTemplate(std::string_view pattern, std::initializer_list<FormatArg> args);
