#include "upload/HexFileReader.h"

#include "runtime/Exception.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char Lf = 10;
constexpr unsigned char Cr = 13;

constexpr unsigned char CtrlZ = HexFileReader::CtrlZ;

// LF, CR and Ctrl-Z are all below 32: one bit each in a 32-bit set.
constexpr std::uint32_t LineBreakSet = 1u << Lf | 1u << Cr | 1u << CtrlZ;

bool IsLineBreak(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 32 && (LineBreakSet >> u & 1);
}

#ifdef __SSE2__
// One bit for each of the 16 bytes at p that is below 32.
std::uint64_t ControlBytes16(const char* p)
{
    const __m128i limit = _mm_set1_epi8(31);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, limit), limit)));
}

std::uint64_t ControlBytes64(const char* p)
{
    return ControlBytes16(p) | ControlBytes16(p + 16) << 16 | ControlBytes16(p + 32) << 32 |
           ControlBytes16(p + 48) << 48;
}
#endif

// The first LF, CR or Ctrl-Z in [p, end), or end. A HEX line fits in one window
// of 64 bytes, so the usual line costs one window and no loop; of its bytes below
// 32 (rare in a HEX file) the first line break wins.
[[gnu::always_inline]] inline const char* FindLineBreak(const char* p, const char* end)
{
#ifdef __SSE2__
    for (; end - p >= 64; p += 64)
        for (std::uint64_t bits = ControlBytes64(p); bits != 0; bits &= bits - 1)
            if (const char* c = p + std::countr_zero(bits); IsLineBreak(*c))
                return c;
#endif
    while (p != end && !IsLineBreak(*p))
        ++p;
    return p;
}

} // namespace

HexFileReader::HexFileReader() = default;

HexFileReader::HexFileReader(const THexSource& source, std::size_t bufferSize)
{
    Open(source, bufferSize);
}

HexFileReader::~HexFileReader() = default;

void HexFileReader::Open(const THexSource& source, std::size_t bufferSize)
{
    Close();
    bufferSize_ = std::max<std::size_t>(bufferSize, 1);
    auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize_);
    if (source.standardInput)
        file_.OpenStandardInput();
    else
        file_.Open(source.path);
    buffer_ = std::move(buffer);
    pos_ = end_ = buffer_.get();
    atFileEnd_ = textEnded_ = pendingLf_ = false;
    line_.clear();
    line_.reserve(KeptLineLength);
}

void HexFileReader::Close()
{
    if (!file_.IsOpen())
        return;
    buffer_.reset();
    pos_ = end_ = nullptr;
    file_.Close();
}

bool HexFileReader::EofAtBoundary()
{
    RequireOpen();
    if (textEnded_)
        return true;
    unsigned char c = 0;
    if (pendingLf_) {
        if (Peek(c) && c == Lf)
            ++pos_;
        pendingLf_ = false;
    }
    if (!Peek(c) || c == CtrlZ)
        EndText();
    return textEnded_;
}

std::string_view HexFileReader::ReadLine()
{
    if (Eof())
        throw EInOutError(EInOutError::ReadBeyondEnd);
    const char* brk = FindLineBreak(pos_, end_);
    if (brk == end_ || static_cast<unsigned char>(*brk) == CtrlZ)
        return CopyLine();
    // The whole line is in the buffer: hand out a view, no copy.
    const std::string_view line(pos_, std::min(std::size_t(brk - pos_), KeptLineLength));
    pos_ = brk + 1;
    if (static_cast<unsigned char>(*brk) == Cr)
        SkipLfAfterCr();
    return line;
}

// For a line that runs past the buffer's end, or whose rest a Ctrl-Z skips: both
// refill the buffer under the line.
std::string_view HexFileReader::CopyLine()
{
    line_.clear();
    for (;;) {
        const char* brk = FindLineBreak(pos_, end_);
        line_.append(pos_, std::min(std::size_t(brk - pos_), KeptLineLength - line_.size()));
        pos_ = brk;
        if (pos_ != end_) {
            EndLine(static_cast<unsigned char>(*pos_++));
            return line_;
        }
        if (!Fill())
            return line_;  // the file's end ends the last line
    }
}

void HexFileReader::EndLine(unsigned char end)
{
    if (end == Cr)
        SkipLfAfterCr();
    else if (end == CtrlZ)
        SkipRestOfLine();
}

void HexFileReader::SkipRestOfLine()
{
    for (;;) {
        if (pos_ == end_ && !Fill())
            return;
        pos_ = FindLineBreak(pos_, end_);
        if (pos_ == end_)
            continue;
        const auto c = static_cast<unsigned char>(*pos_++);
        if (c == CtrlZ)
            EndText();
        else if (c == Cr)
            SkipLfAfterCr();
        return;
    }
}

// Nothing after is read; an empty buffer sends the at-end test its slow way.
void HexFileReader::EndText()
{
    textEnded_ = true;
    pos_ = end_;
}

// At the buffer's end the LF may come with the next read; the at-end test takes it then.
void HexFileReader::SkipLfAfterCr()
{
    if (pos_ == end_)
        pendingLf_ = true;
    else if (static_cast<unsigned char>(*pos_) == Lf)
        ++pos_;
}

bool HexFileReader::Peek(unsigned char& c)
{
    if (pos_ == end_ && !Fill())
        return false;
    c = static_cast<unsigned char>(*pos_);
    return true;
}

bool HexFileReader::Fill()
{
    if (atFileEnd_)
        return false;
    const std::size_t n = file_.Read(buffer_.get(), bufferSize_);
    pos_ = buffer_.get();
    end_ = pos_ + n;
    atFileEnd_ = n == 0;
    return n > 0;
}

void HexFileReader::RequireOpen() const
{
    if (!file_.IsOpen())
        throw EInOutError::FromErrno(EBADF);
}
