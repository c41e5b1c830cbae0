#include "ConsoleView.h"

#include <string>
#include <unistd.h>

namespace {
constexpr int kBarWidth = 40;
}

TConsoleView::TConsoleView(std::uint64_t totalBytes, std::FILE* out)
    : total_(totalBytes), out_(out), terminal_(isatty(fileno(out)) == 1)
{
}

void TConsoleView::SetStatusText(const std::string& text)
{
    if (barShown_ && terminal_)
        std::fputc('\n', out_);
    barShown_ = false;
    if (!text.empty())
        std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TConsoleView::ShowMissingFile(const std::string& message)
{
    std::fprintf(out_, "vorn-send: %s\n", message.c_str());
    failed_ = true;
}

int TConsoleView::Percent() const
{
    return total_ == 0 ? 100 : int(sent_ * 100 / total_);
}

void TConsoleView::ByteSent()
{
    ++sent_;
    // A terminal line is redrawn at each whole percent; a log gets a line every tenth.
    const int percent = Percent();
    const int step = terminal_ ? percent : percent / 10 * 10;
    if (step != lastPercent_ || sent_ == total_) {
        lastPercent_ = step;
        Draw();
    }
}

void TConsoleView::Draw()
{
    const int percent = Percent();
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '.');
    std::fprintf(out_, "%s[%s] %3d%%  %llu/%llu bytes%s", terminal_ ? "\r" : "", bar.c_str(), percent,
                 static_cast<unsigned long long>(sent_), static_cast<unsigned long long>(total_),
                 terminal_ ? "" : "\n");
    std::fflush(out_);
    barShown_ = true;
}
