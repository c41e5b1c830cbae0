// The HEX file's lines, one at a time, as the upload reads them.
#pragma once

#include "upload/SharedReadFile.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
