#include "Format.h"

#include <vector>

namespace {

struct Placeholder {
    size_t length = 0;    // characters the placeholder takes in the pattern
    int position = 0;     // 1-based argument number; 0 for "next"
    char conversion = 0;  // 'd' or 's'
};

// Parses "%d", "%s", "%N$d" or "%N$s" at pattern[at] (which is '%').
bool ParsePlaceholder(std::string_view pattern, size_t at, Placeholder& out)
{
    size_t i = at + 1;
    int position = 0;
    size_t digitsStart = i;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9' && i - digitsStart < 3)
        position = position * 10 + (pattern[i++] - '0');
    if (i > digitsStart) {
        if (position == 0 || i >= pattern.size() || pattern[i] != '$')
            return false;
        ++i;
    }
    if (i >= pattern.size() || (pattern[i] != 'd' && pattern[i] != 's'))
        return false;
    out = {i + 1 - at, position, pattern[i]};
    return true;
}

bool Matches(const FormatArg& arg, char conversion)
{
    return conversion == 'd' ? std::holds_alternative<std::int64_t>(arg)
                             : std::holds_alternative<std::string>(arg);
}

void Append(std::string& out, const FormatArg& arg)
{
    if (const auto* number = std::get_if<std::int64_t>(&arg))
        out += std::to_string(*number);
    else
        out += std::get<std::string>(arg);
}

} // namespace

std::string FormatTemplate(std::string_view pattern, std::initializer_list<FormatArg> args)
{
    const std::vector<FormatArg> argv(args);
    std::string out;
    out.reserve(pattern.size() + 16);
    size_t next = 0;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '%') {
            out += pattern[i++];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        Placeholder ph;
        if (ParsePlaceholder(pattern, i, ph)) {
            size_t index = ph.position ? size_t(ph.position - 1) : next;
            if (index < argv.size() && Matches(argv[index], ph.conversion)) {
                Append(out, argv[index]);
                if (!ph.position)
                    ++next;
                i += ph.length;
                continue;
            }
        }
        out += pattern[i++];  // not ours to fill: keep it as text
    }
    return out;
}
