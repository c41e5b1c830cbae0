#include "ConsoleView.h"

#include "tools/common/Console.h"
#include "runtime/Format.h"
#include "runtime/TextLookup.h"
#include "tools/common/ToolMessages.h"

#include <algorithm>

namespace {

constexpr int BarWidth = 40;

std::int64_t Int(std::uint64_t value)
{
    return std::int64_t(value);
}

} // namespace

std::string DurationText(std::uint64_t seconds)
{
    const std::uint64_t minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
    if (seconds < 120)
        return FormatTemplate(CurrentDomainText("%d s"), {Int(seconds)});
    if (minutes < 120)
        return FormatTemplate(CurrentDomainText("%d min %d s"), {Int(minutes), Int(seconds % 60)});
    if (hours < 48)
        return FormatTemplate(CurrentDomainText("%d h %d min"), {Int(hours), Int(minutes % 60)});
    return FormatTemplate(CurrentDomainText("%d d %d h"), {Int(days), Int(hours % 24)});
}

TConsoleView::TConsoleView(std::FILE* out, std::string inputName)
    : out_(out), inputName_(std::move(inputName)), terminal_(IsTerminal(out))
{
}

void TConsoleView::StreamReady(std::uint64_t totalBytes)
{
    total_ = totalBytes;
    start_ = std::chrono::steady_clock::now();
    Print(FormatTemplate(CurrentDomainText("%d bytes, about %s at %d bit/s\n"),
                         {Int(total_), DurationText(LineSeconds(total_)), Int(UploadBitRate)}));
}

void TConsoleView::SetStatusText(const std::string& text)
{
    // The phase's last count is shown before its status line ends it.
    if (sent_ != drawnSent_)
        Draw();
    EndLine();
    if (!text.empty())
        Print(text + "\n");
}

void TConsoleView::EndLine()
{
    if (lineOpen_ && terminal_)
        Print("\n");
    lineOpen_ = false;
}

void TConsoleView::ShowMissingFile(const std::string& message)
{
    Print("vorn-send: " + ErrorAbout(inputName_, message) + "\n");
    failed_ = true;
}

// Drawn only once the stream is known, which has its 128 name bytes at least.
int TConsoleView::Percent() const
{
    return int(std::min<std::uint64_t>(100, sent_ * 100 / total_));
}

// A terminal's bar is drawn again at each whole percent and each second of line
// time left; a log gets a line every tenth.
TConsoleView::TStep TConsoleView::Step() const
{
    const int percent = Percent();
    return terminal_ ? TStep{percent, LineSeconds(total_ - sent_)} : TStep{percent / 10, 0};
}

void TConsoleView::ByteSent()
{
    ++sent_;
    if (const TStep step = Step(); step != lastStep_ || sent_ == total_) {
        lastStep_ = step;
        Draw();
    }
}

// The time left is the line's; in a log, read later, the time it took so far counts.
void TConsoleView::Draw()
{
    const int percent = Percent();
    const int filled = percent * BarWidth / 100;
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(BarWidth - filled), '.');
    std::string time;
    if (terminal_) {
        time = FormatTemplate(CurrentDomainText("%s left"), {DurationText(LineSeconds(total_ - sent_))});
    } else {
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
        time = FormatTemplate(CurrentDomainText("%s elapsed"), {DurationText(std::uint64_t(elapsed.count()))});
    }
    char head[80];
    std::snprintf(head, sizeof head, "[%s] %3d%%  ", bar.c_str(), percent);
    std::string line = head + FormatTemplate(CurrentDomainText("%d/%d bytes, %s"), {Int(sent_), Int(total_), time});
    if (terminal_) {
        // Over the line drawn before, which may have been longer.
        const std::size_t length = line.size();
        line = "\r" + line + std::string(drawnLength_ > length ? drawnLength_ - length : 0, ' ');
        drawnLength_ = length;
    } else {
        line += "\n";
    }
    Print(line);
    drawnSent_ = sent_;
    lineOpen_ = true;
}

void TConsoleView::Print(const std::string& text)
{
    if (std::ferror(out_))
        return;
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
}
