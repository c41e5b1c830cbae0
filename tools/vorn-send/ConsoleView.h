// Shows an upload's progress on a terminal or in a log.
#pragma once

#include "app/Upload.h"

#include <cstdint>
#include <cstdio>
#include <optional>

class TConsoleView : public TUploadView {
public:
    // `totalBytes`: the stream's expected length, for the percentage; without it
    // (a pipe) only the bytes sent so far are shown. The count may prove wrong (the
    // file grew meanwhile): the percentage stays at 100 and the upload goes on.
    TConsoleView(std::optional<std::uint64_t> totalBytes, std::FILE* out);

    void SetProgress(std::int32_t) override {}
    void SetStatusText(const std::string& text) override;
    void SetSendEnabled(bool) override {}
    void ShowMissingFile(const std::string& message) override;
    void ByteSent() override;
    // Ends the progress line, so that a message can follow on a line of its own.
    void EndLine();

    bool Failed() const { return failed_; }

private:
    int Percent() const;
    std::uint64_t Step() const;
    void Draw();
    void DrawBar();
    void DrawCount();

    std::optional<std::uint64_t> total_;
    std::uint64_t sent_ = 0;
    std::FILE* out_;
    bool terminal_;
    bool failed_ = false;
    bool lineOpen_ = false;
    std::uint64_t drawnSent_ = 0;
    std::uint64_t lastStep_;
};
