#include "ConsoleView.h"

#include "app/Console.h"

#include <algorithm>
#include <string>

namespace {
constexpr int kBarWidth = 40;
// Without a total: a terminal is redrawn every second of the line (60 bytes), a
// log gets a line every 4 KiB.
constexpr std::uint64_t kTerminalCountStep = 60;
constexpr std::uint64_t kLogCountStep = 4096;
}

TConsoleView::TConsoleView(std::optional<std::uint64_t> totalBytes, std::FILE* out)
    : total_(totalBytes), out_(out), terminal_(IsTerminal(out)),
      lastStep_(total_ ? UINT64_MAX : 0)  // a bar shows 0 %, a count starts at its first step
{
}

void TConsoleView::SetStatusText(const std::string& text)
{
    // The phase's last count is shown before its status line ends it.
    if (sent_ != drawnSent_)
        Draw();
    EndLine();
    if (!text.empty())
        std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TConsoleView::EndLine()
{
    if (lineOpen_ && terminal_)
        std::fputc('\n', out_);
    lineOpen_ = false;
}

void TConsoleView::ShowMissingFile(const std::string& message)
{
    std::fprintf(out_, "vorn-send: %s\n", message.c_str());
    failed_ = true;
}

// Whole percents of the count; a file that grew meanwhile stays at 100.
int TConsoleView::Percent() const
{
    return *total_ == 0 ? 100 : int(std::min<std::uint64_t>(100, sent_ * 100 / *total_));
}

// Whole percents with a total (a terminal each, a log every tenth), else byte counts.
std::uint64_t TConsoleView::Step() const
{
    if (!total_)
        return sent_ / (terminal_ ? kTerminalCountStep : kLogCountStep);
    const auto percent = static_cast<std::uint64_t>(Percent());
    return terminal_ ? percent : percent / 10;
}

void TConsoleView::ByteSent()
{
    ++sent_;
    if (const std::uint64_t step = Step(); step != lastStep_ || (total_ && sent_ == *total_)) {
        lastStep_ = step;
        Draw();
    }
}

void TConsoleView::Draw()
{
    if (total_)
        DrawBar();
    else
        DrawCount();
    std::fflush(out_);
    drawnSent_ = sent_;
    lineOpen_ = true;
}

void TConsoleView::DrawBar()
{
    const int percent = Percent();
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '.');
    std::fprintf(out_, "%s[%s] %3d%%  %llu", terminal_ ? "\r" : "", bar.c_str(), percent,
                 static_cast<unsigned long long>(sent_));
    // A file that grew meanwhile sends more than was counted.
    if (sent_ <= *total_)
        std::fprintf(out_, "/%llu", static_cast<unsigned long long>(*total_));
    std::fprintf(out_, " bytes%s", terminal_ ? "" : "\n");
}

void TConsoleView::DrawCount()
{
    std::fprintf(out_, "%s%llu bytes sent%s", terminal_ ? "\r" : "", static_cast<unsigned long long>(sent_),
                 terminal_ ? "" : "\n");
}
