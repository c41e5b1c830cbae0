// Where vorn-stream puts the stream: nothing reaches the destination until the
// whole stream is made, so a failure leaves no partial output behind.
#pragma once

#include "upload/SharedReadFile.h"
#include "runtime/Exception.h"
#include "runtime/FileReplacement.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A failure of the output side; the message names the destination.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class StreamOutput {
public:
    // `path` (UTF-8) absent: standard output, unless it is a terminal. A path that names a regular file
    // (through symbolic links), or nothing yet, gets a new file put in its place; a
    // FIFO, a pipe or a character device is written into as it is; anything else is
    // refused here, before any byte is made.
    explicit StreamOutput(std::optional<std::string> path);
    ~StreamOutput();  // drops an unfinished stream
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    // Refuses a destination that is the file being read: the stream would replace it.
    void RefuseInput(const std::optional<TFileIdentity>& input) const;
    void Put(std::uint8_t byte);
    // Puts the finished stream in place, or copies the spooled stream into the FIFO,
    // pipe, device or standard output. The bytes arrive as they are, on every platform.
    void Commit();

private:
    void Create();
    void Flush();
    [[noreturn]] void Fail(int err) const;  // an errno value
    [[noreturn]] void Fail(const EInOutError& error) const;
    [[noreturn]] void Fail(const std::string& reason) const;
    // The temporary file that holds the stream until it is complete failed.
    [[noreturn]] void FailSpool(const EInOutError& error) const;
    // Each platform's own (posix/ or win32/):
    void ChooseDestination();
    void CreateSpool();
    void WriteSpool(const std::uint8_t* data, std::size_t size);
    void CopySpoolOut();  // to the path, opened only now, or to standard output
    void CloseSpool() noexcept;

    std::optional<std::string> path_;
    bool replace_ = false;        // a regular file, or none yet: replaced whole
    bool started_ = false;
    TFileReplacement replacement_;
    std::intptr_t spool_ = -1;    // a descriptor or handle; the file goes with it
    std::string spoolFolder_;
    std::vector<std::uint8_t> pending_;
};
