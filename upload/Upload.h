// The upload: the HEX file's program words and the eight names, byte by byte,
// through the port. The window and vorn-send both run it; each shows the
// progress through its own TUploadView.
#pragma once

#include "upload/UploadStream.h"
#include "runtime/Exception.h"

#include <cstdint>
#include <string>

class TComPort;

// The line: 600 bit/s, and ten bits a byte (a start bit, 8 data bits, a stop bit).
constexpr std::uint64_t UploadBitRate = 600;
constexpr std::uint64_t UploadBytesPerSecond = UploadBitRate / 10;
// The longest upload taken on: a day of the line's time.
constexpr std::uint64_t MaxUploadSeconds = 24 * 60 * 60;
constexpr std::uint64_t MaxUploadBytes = MaxUploadSeconds * UploadBytesPerSecond;

// The seconds the line takes for `bytes`, rounded up.
constexpr std::uint64_t LineSeconds(std::uint64_t bytes)
{
    return (bytes + UploadBytesPerSecond - 1) / UploadBytesPerSecond;
}

// What the upload shows while it runs. Every call must take effect at once: the
// upload keeps the calling thread busy until it ends.
class TUploadView {
public:
    virtual ~TUploadView() = default;
    // The gauge value: taken lines sent so far, divided by 10.
    virtual void SetProgress(std::int32_t value) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetSendEnabled(bool enabled) = 0;
    // The path names no file: shown modally; the upload ends when it returns.
    virtual void ShowMissingFile(const std::string& message) = 0;
    // The whole stream has been read and is about to be sent: its length.
    virtual void StreamReady(std::uint64_t /*totalBytes*/) {}
    // One more byte is on the line.
    virtual void ByteSent() {}
};

// The upload ended early because a stop signal came (see runtime/StopSignals.h).
class EUploadStopped : public Exception {
public:
    // `totalBytes` 0: the stop came before the stream was read.
    EUploadStopped(int signal, std::uint64_t bytesSent, std::uint64_t totalBytes);
    int Signal() const noexcept { return signal_; }
    std::uint64_t BytesSent() const noexcept { return bytesSent_; }

private:
    int signal_;
    std::uint64_t bytesSent_;
};

// The file's stream would keep the line busy for more than MaxUploadSeconds; nothing
// was sent and the port was not opened.
class EUploadTooLong : public Exception {
public:
    EUploadTooLong();
};

extern const char* const MissingFileText;
extern const char* const DataPhaseText;
extern const char* const NamePhaseText;

// Runs the whole upload on the calling thread. Raises EComPort or EInOutError
// where a step fails, EUploadTooLong for a stream of more than a day. A stop
// signal ends it before the next byte with EUploadStopped, the port left open for
// the caller to close.
//
// The whole input is read, once and front to back, before the port is opened: what
// is sent is the file as it was then, whatever happens to it afterwards, and a file
// that cannot be read sends nothing. A pipe or FIFO is read to its end.
void RunUpload(TComPort& port, const THexSource& source, const TBankNames& names, TUploadView& view);
