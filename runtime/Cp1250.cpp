#include "Cp1250.h"

#include <cerrno>
#include <iconv.h>
#include <algorithm>
#include <stdexcept>

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; `skip` tells how many input bytes a bad sequence at the front takes.
    template <typename Skip>
    std::string Run(std::string_view in, Skip skip)
    {
        std::string out;
        char buffer[256];
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst);
            if (rc != size_t(-1) || errno == E2BIG)
                continue;
            // A bad sequence, or one cut off at the end: each byte of it that is no
            // character gives one '?', as the name's characters were counted.
            out += '?';
            size_t n = std::min(skip(reinterpret_cast<unsigned char*>(src), srcLeft), srcLeft);
            src += n;
            srcLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts at p: a whole character when it is
// well formed, else the single bad byte.
size_t Utf8SequenceLength(const unsigned char* p, size_t left)
{
    size_t n = p[0] < 0xC2 ? 1 : p[0] < 0xE0 ? 2 : p[0] < 0xF0 ? 3 : p[0] < 0xF5 ? 4 : 1;
    if (n > left)
        return 1;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    return n;
}

} // namespace

std::string Utf8ToCp1250(std::string_view utf8)
{
    Converter c("CP1250", "UTF-8");
    return c.Run(utf8, Utf8SequenceLength);
}

std::string Cp1250ToUtf8(std::string_view cp1250)
{
    Converter c("UTF-8", "CP1250");
    return c.Run(cp1250, [](const unsigned char*, size_t) { return size_t(1); });
}
