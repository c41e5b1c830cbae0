// The upload: the HEX file's program words and the eight names, byte by byte,
// through the port. The window and vorn-send both run it; each shows the
// progress through its own TUploadView.
#pragma once

#include "app/UploadStream.h"
#include "runtime/Exception.h"

#include <cstdint>
#include <string>

class TComPort;

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
    // One more byte is on the line.
    virtual void ByteSent() {}
};

// The upload ended early because a stop signal came (see runtime/StopSignals.h).
class EUploadStopped : public Exception {
public:
    EUploadStopped(int signal, std::uint64_t bytesSent);
    int Signal() const noexcept { return signal_; }
    std::uint64_t BytesSent() const noexcept { return bytesSent_; }

private:
    int signal_;
    std::uint64_t bytesSent_;
};

extern const char* const MissingFileText;
extern const char* const DataPhaseText;
extern const char* const NamePhaseText;

// Runs the whole upload on the calling thread. Raises EComPort or EInOutError
// where a step fails; the HEX file is closed before the error leaves. A stop
// signal ends it before the next byte with EUploadStopped, the port left open for
// the caller to close.
//
// The file is read once, front to back, through one descriptor, so a pipe works
// and a file that changes meanwhile gives a clear result: every line read up to
// the first end of file found is sent (lines appended before the reader gets there
// included), and the name table always follows.
void RunUpload(TComPort& port, const std::string& path, const TBankNames& names,
               TUploadView& view);
