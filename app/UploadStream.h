// The byte stream the unit receives: four bytes from every HEX line longer than
// 12 characters, then a table of eight 16-byte program names.
#pragma once

#include "app/SharedReadFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t BankCount = 8;
constexpr std::size_t BankNameLength = 16;

using TProgramWord = std::array<std::uint8_t, 4>;
using TBankEntry = std::array<std::uint8_t, BankNameLength>;
constexpr std::size_t NameTableSize = BankCount * BankNameLength;

using TNameTable = std::array<std::uint8_t, NameTableSize>;
// Names as the window's edit boxes hold them: UTF-8 text.
using TBankNames = std::array<std::string, BankCount>;
using TByteSink = std::function<void(std::uint8_t)>;

// Two hex digits, the high one first, of either case. Any other character, and a
// missing one, counts 0; never fails.
std::uint8_t HexPairToByte(std::string_view pair);

// The program word at line positions 10 to 17 (counted from 1), or nothing when
// the line has 12 characters or fewer.
std::optional<TProgramWord> DecodeHexLine(std::string_view line);

// The first 16 characters of a UTF-8 name in CP1250 ('?' for what CP1250 lacks),
// padded with spaces; an empty name gives 16 bytes of 0xFF.
TBankEntry EncodeBankName(std::string_view utf8Name);

// The eight entries of EncodeBankName one after another.
TNameTable EncodeNameTable(const TBankNames& names);

// Reads a HEX file line by line. A line ends at LF, CR LF or a lone CR; Ctrl-Z
// (26) ends the text: at the start of a line it ends the file, inside a line it
// ends that line's text and the rest up to the line end is skipped (a further
// Ctrl-Z there ends the file). NUL and every other byte are ordinary characters.
// Regular files and pipes are read; a folder or a device is "File access denied".
// A FIFO that no writer has opened yet is waited for, not taken as empty.
// While open, the file is shared with other readers only, so a writer that holds
// it keeps the reader out and the other way round. Paths are UTF-8 text.
// Every failure is an EInOutError.
class HexFileReader {
public:
    // Lines are cut to this many characters: decoding needs 17 and whether there
    // are more than 12, and a line of any length must not take memory of its size.
    static constexpr std::size_t KeptLineLength = 64;
    static constexpr std::size_t DefaultBufferSize = 128 * 1024;

    HexFileReader();
    // Opens at once; `bufferSize` is the size of each read.
    explicit HexFileReader(const THexSource& source, std::size_t bufferSize = DefaultBufferSize);
    ~HexFileReader();  // closes quietly
    HexFileReader(const HexFileReader&) = delete;
    HexFileReader& operator=(const HexFileReader&) = delete;

    // Opens the file or the standard input for reading; a reader that is open closes first.
    void Open(const THexSource& source, std::size_t bufferSize = DefaultBufferSize);
    bool IsOpen() const noexcept { return file_.IsOpen(); }
    // What is read, to tell it from a file about to be written.
    std::optional<TFileIdentity> Identity() const { return file_.Identity(); }
    // True when no further line follows.
    bool Eof()
    {
        // Called once a line: the common case is decided by the next byte alone.
        // A pending LF or the text's end always comes with an empty buffer.
        if (pos_ != end_ && static_cast<unsigned char>(*pos_) != CtrlZ)
            return false;
        return EofAtBoundary();
    }
    // The next line without its line end, cut to KeptLineLength characters. The
    // text is valid until the reader's next call. Past the end it raises "Read
    // beyond end of file".
    std::string_view ReadLine();
    // Releases the file and its lock; nothing happens when not open.
    void Close();

    static constexpr unsigned char CtrlZ = 26;  // the end of the text

private:
    bool EofAtBoundary();
    bool Fill();
    bool Peek(unsigned char& c);
    std::string_view CopyLine();
    void EndLine(unsigned char end);
    void SkipLfAfterCr();
    void EndText();
    void SkipRestOfLine();
    void RequireOpen() const;

    TSharedReadFile file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferSize_ = 0;
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    bool atFileEnd_ = false;    // read() gave 0
    bool textEnded_ = false;    // Ctrl-Z or the file's end: no further line
    bool pendingLf_ = false;    // a CR ended the buffer's last line; an LF next belongs to it
    std::string line_;
};

// The stream's rule, which every producer of it follows: the words of the taken
// lines in file order, then the name table. `sink` returns false to end the reading.
template <typename WordSink>
void ForEachProgramWord(HexFileReader& reader, WordSink&& sink)
{
    while (!reader.Eof())
        if (const auto word = DecodeHexLine(reader.ReadLine()); word && !sink(*word))
            return;
}

// The whole stream of an open reader's file and eight names, one byte at a time, in
// order; the reader is closed before the names.
template <typename Sink>
void ForEachStreamByte(HexFileReader& reader, const TBankNames& names, Sink&& sink)
{
    ForEachProgramWord(reader, [&sink](const TProgramWord& word) {
        for (const std::uint8_t byte : word)
            sink(byte);
        return true;
    });
    reader.Close();
    for (const std::uint8_t byte : EncodeNameTable(names))
        sink(byte);
}

template <typename Sink>
void ForEachStreamByte(const THexSource& source, const TBankNames& names, Sink&& sink)
{
    HexFileReader reader(source);
    ForEachStreamByte(reader, names, sink);
}

// The same for a sink chosen at run time.
void WriteUploadStream(const THexSource& source, const TBankNames& names, const TByteSink& sink);

// A whole stream, read before any of it is sent.
struct TUploadStream {
    std::vector<std::uint8_t> bytes;  // the program words, then the name table
    std::size_t ProgramWords() const { return (bytes.size() - NameTableSize) / 4; }
};

// Reads the file once, front to back, into the stream of it and eight names. Nothing
// when the stream would be longer than `maxBytes`: the reading stops there.
std::optional<TUploadStream> ReadUploadStream(const THexSource& source, const TBankNames& names,
                                              std::size_t maxBytes);
