// CP1250 through iconv.
#include "runtime/Cp1250Codec.h"

#include <cerrno>
#include <iconv.h>
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

    // Converts `in`; `skip` tells how many input bytes a character the target lacks takes.
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
            out += '?';
            size_t n = skip(static_cast<unsigned char>(*src));
            src += n;
            srcLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace

std::string EncodeCp1250(std::string_view utf8)
{
    Converter c("CP1250", "UTF-8");
    // The input is well formed: the lead byte tells the character's length.
    return c.Run(utf8, [](unsigned char lead) { return size_t(lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3); });
}

std::string DecodeCp1250(std::string_view cp1250)
{
    Converter c("UTF-8", "CP1250");
    return c.Run(cp1250, [](unsigned char) { return size_t(1); });
}
