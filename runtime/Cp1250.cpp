#include "Cp1250.h"

#include "runtime/Cp1250Codec.h"

#include <algorithm>

namespace {

// Length of the well-formed UTF-8 character at p (no overlong form, no surrogate,
// nothing past U+10FFFF), or 0.
std::size_t CharacterLength(const unsigned char* p, std::size_t left)
{
    unsigned char low = 0x80, high = 0xBF;  // what the second byte may be
    std::size_t n = 0;
    if (p[0] < 0x80)
        return 1;
    if (p[0] < 0xC2 || p[0] > 0xF4)
        return 0;
    if (p[0] < 0xE0) {
        n = 2;
    } else if (p[0] < 0xF0) {
        n = 3;
        low = p[0] == 0xE0 ? 0xA0 : low;
        high = p[0] == 0xED ? 0x9F : high;
    } else {
        n = 4;
        low = p[0] == 0xF0 ? 0x90 : low;
        high = p[0] == 0xF4 ? 0x8F : high;
    }
    if (n > left || p[1] < low || p[1] > high)
        return 0;
    for (std::size_t i = 2; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return n;
}

// Bytes a malformed sequence at p takes: a lead byte with all its continuation bytes
// is one, else the single bad byte is.
std::size_t MalformedLength(const unsigned char* p, std::size_t left)
{
    std::size_t n = p[0] < 0xC2 ? 1 : p[0] < 0xE0 ? 2 : p[0] < 0xF0 ? 3 : p[0] < 0xF5 ? 4 : 1;
    if (n > left)
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    return n;
}

bool Undefined(char c)
{
    return c == '\x81' || c == '\x83' || c == '\x88' || c == '\x90' || c == '\x98';
}

} // namespace

std::string Utf8ToCp1250(std::string_view utf8)
{
    std::string out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t run = 0, i = 0;  // [run, i) is well formed and not yet converted
    while (i < utf8.size()) {
        const std::size_t n = CharacterLength(bytes + i, utf8.size() - i);
        if (n != 0 && n < 4) {
            i += n;
            continue;
        }
        out += EncodeCp1250(utf8.substr(run, i - run));
        // CP1250 has nothing beyond U+FFFF. A bad sequence, or one cut off at the end:
        // each byte of it that is no character gives one '?', as the name's characters
        // were counted.
        out += '?';
        i += n != 0 ? n : MalformedLength(bytes + i, utf8.size() - i);
        run = i;
    }
    return out + EncodeCp1250(utf8.substr(run));
}

std::string Cp1250ToUtf8(std::string_view cp1250)
{
    // Some systems map the undefined codes to control characters; here they are '?' alike.
    std::string defined(cp1250);
    std::replace_if(defined.begin(), defined.end(), Undefined, '?');
    return DecodeCp1250(defined);
}
