// Shows an upload's progress on a terminal or in a log. The output is a courtesy:
// once it cannot be written (a pipe whose reader left), the view falls silent and
// the upload goes on.
#pragma once

#include "upload/Upload.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

class TConsoleView : public TUploadView {
public:
    // `inputName`: what the missing-file message is about.
    TConsoleView(std::FILE* out, std::string inputName);

    void SetProgress(std::int32_t) override {}
    void SetStatusText(const std::string& text) override;
    void SetSendEnabled(bool) override {}
    void ShowMissingFile(const std::string& message) override;
    void StreamReady(std::uint64_t totalBytes) override;
    void ByteSent() override;
    // Ends the progress line, so that a message can follow on a line of its own.
    void EndLine();

    bool Failed() const { return failed_; }
    std::uint64_t Sent() const { return sent_; }
    std::uint64_t Total() const { return total_; }

private:
    // What a redraw shows: the percent (a log: its tenth) and the seconds left.
    using TStep = std::pair<int, std::uint64_t>;

    int Percent() const;
    TStep Step() const;
    void Draw();
    void Print(const std::string& text);

    std::FILE* out_;
    std::string inputName_;
    bool terminal_;
    std::uint64_t total_ = 0;
    std::uint64_t sent_ = 0;
    bool failed_ = false;
    bool lineOpen_ = false;
    std::uint64_t drawnSent_ = 0;
    std::size_t drawnLength_ = 0;
    TStep lastStep_{-1, 0};  // the first byte draws
    std::chrono::steady_clock::time_point start_;
};

// A length of time as "71 s", "12 min 5 s", "3 h 20 min" or "2 d 3 h".
std::string DurationText(std::uint64_t seconds);
