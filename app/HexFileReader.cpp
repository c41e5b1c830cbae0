#include "UploadStream.h"

#include "runtime/Exception.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char Lf = 10;
constexpr unsigned char Cr = 13;

[[noreturn]] void RaiseErrno(int err)
{
    throw EInOutError::FromErrno(err);
}

constexpr unsigned char CtrlZ = HexFileReader::CtrlZ;

bool IsLineBreak(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u == Lf || u == Cr || u == CtrlZ;
}

// The first LF, CR or Ctrl-Z in [p, end), or end; sixteen bytes at a time where
// the processor has SSE2.
[[gnu::always_inline]] inline const char* FindLineBreak(const char* p, const char* end)
{
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8(char(Lf)), cr = _mm_set1_epi8(char(Cr)), ctrlZ = _mm_set1_epi8(char(CtrlZ));
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                                          _mm_cmpeq_epi8(bytes, ctrlZ));
        if (const int mask = _mm_movemask_epi8(hits))
            return p + std::countr_zero(unsigned(mask));
        p += 16;
    }
#endif
    while (p != end && !IsLineBreak(*p))
        ++p;
    return p;
}

// Non-blocking so that a FIFO without a writer cannot hang the open.
int OpenForReading(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        RaiseErrno(errno);
    return fd;
}

// Regular files and pipes only: a folder or a device is no HEX file. Reported as
// the platform's file layer reports opening a folder, "File access denied".
void RequireFile(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseErrno(errno);
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        throw EInOutError(5);
}

// Readers share the file; a writer holding it exclusively makes this a sharing violation.
void LockShared(int fd)
{
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
        RaiseErrno(errno);
}

void MakeBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        RaiseErrno(errno);
}

} // namespace

HexFileReader::HexFileReader() = default;

HexFileReader::HexFileReader(const std::string& path, std::size_t bufferSize)
{
    Open(path, bufferSize);
}

HexFileReader::~HexFileReader()
{
    try {
        Close();
    } catch (const EInOutError&) {
        // Nothing to report to from a destructor; the descriptor is released anyway.
    }
}

void HexFileReader::Open(const std::string& path, std::size_t bufferSize)
{
    Close();
    const int fd = OpenForReading(path);
    try {
        RequireFile(fd);
        LockShared(fd);
        MakeBlocking(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    bufferSize_ = bufferSize > 0 ? bufferSize : 1;
    buffer_ = std::make_unique_for_overwrite<char[]>(bufferSize_);
    pos_ = end_ = buffer_.get();
    atFileEnd_ = textEnded_ = pendingLf_ = false;
    line_.clear();
    line_.reserve(KeptLineLength);
    fd_ = fd;
}

void HexFileReader::Close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    buffer_.reset();
    pos_ = end_ = nullptr;
    // Linux releases the descriptor (and with it the lock) even when close reports EINTR.
    if (::close(fd) != 0 && errno != EINTR)
        RaiseErrno(errno);
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
        textEnded_ = true;
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
            textEnded_ = true;
        else if (c == Cr)
            SkipLfAfterCr();
        return;
    }
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
    ssize_t n;
    do
        n = ::read(fd_, buffer_.get(), bufferSize_);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        RaiseErrno(errno);
    pos_ = buffer_.get();
    end_ = pos_ + n;
    atFileEnd_ = n == 0;
    return n > 0;
}

void HexFileReader::RequireOpen() const
{
    if (fd_ < 0)
        RaiseErrno(EBADF);
}
