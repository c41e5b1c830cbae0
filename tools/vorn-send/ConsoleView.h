// Shows an upload's progress on a terminal or in a log.
#pragma once

#include "app/Upload.h"

#include <cstdint>
#include <cstdio>

class TConsoleView : public TUploadView {
public:
    // `totalBytes`: the stream's length, for the percentage.
    TConsoleView(std::uint64_t totalBytes, std::FILE* out);

    void SetProgress(std::int32_t) override {}
    void SetStatusText(const std::string& text) override;
    void SetSendEnabled(bool) override {}
    void ShowMissingFile(const std::string& message) override;
    void ByteSent() override;

    bool Failed() const { return failed_; }

private:
    void Draw();
    int Percent() const;

    std::uint64_t total_;
    std::uint64_t sent_ = 0;
    std::FILE* out_;
    bool terminal_;
    bool failed_ = false;
    bool barShown_ = false;
    int lastPercent_ = -1;
};
