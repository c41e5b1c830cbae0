// Where vorn-stream puts the stream: nothing reaches the destination until the
// whole stream is made, so a failure leaves no partial output behind.
#pragma once

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
    // `path` absent: standard output.
    explicit StreamOutput(std::optional<std::string> path);
    ~StreamOutput();  // drops an unfinished stream
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    void Put(std::uint8_t byte);
    // Puts the finished stream in place: renames the file beside OUT onto OUT, or
    // copies the spooled stream to standard output.
    void Commit();

private:
    void Create();
    void Flush();
    void CopyToStandardOutput();
    [[noreturn]] void Fail(int err) const;

    std::optional<std::string> path_;
    std::string temp_;  // beside OUT; empty for standard output's unlinked spool
    int fd_ = -1;
    std::vector<std::uint8_t> pending_;
};
