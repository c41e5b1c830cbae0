#include "tools/vorn-unit/SimulatedUnit.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

SimulatedUnit::SimulatedUnit(PtyPair& pty, int signalFd, std::ostream& out, std::unique_ptr<UploadFile> file)
    : pty_(pty), signalFd_(signalFd), out_(out), file_(std::move(file))
{
}

void SimulatedUnit::Run()
{
    for (;;) {
        pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {signalFd_, POLLIN, 0}};
        if (::poll(fds, 2, PollTimeoutMs()) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (fds[0].revents != 0)
            ReadMaster();
        if (fds[1].revents != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] const ssize_t n = ::read(signalFd_, &info, sizeof info);
            if (uploading_)
                EndUpload("stopped");
            return;
        }
        if (uploading_ && Clock::now() - lastByte_ >= QuietEnd)
            EndUpload("line quiet for 1 s");
    }
}

int SimulatedUnit::PollTimeoutMs() const
{
    if (!uploading_)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(lastByte_ + QuietEnd - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void SimulatedUnit::ReadMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pty_.Master(), buffer, sizeof buffer);
        if (n > 0) {
            Receive(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // EIO (or 0): the slave's last opener closed and every byte before it is read.
        if (n == 0 || errno == EIO) {
            PortClosed();
            return;
        }
        throw std::system_error(errno, std::generic_category(), "read from the pseudo-terminal");
    }
}

void SimulatedUnit::Receive(std::string_view bytes)
{
    if (!uploading_) {
        uploading_ = true;
        ++uploads_;
        tally_ = UploadTally();
        if (file_)
            file_->Begin();
        // From now on the transmitter's close is the slave's last one.
        pty_.Release();
    }
    ReportSettings();
    tally_.Add(bytes);
    if (file_)
        file_->Write(bytes);
    lastByte_ = Clock::now();
}

void SimulatedUnit::ReportSettings()
{
    const LineSettings now = ReadLineSettings(pty_.Master());
    if (reported_ && *reported_ == now)
        return;
    reported_ = now;
    Print("line: " + DescribeLineSettings(now) + "\n");
}

void SimulatedUnit::PortClosed()
{
    if (uploading_)
        EndUpload("port closed");
    pty_.Hold();
}

void SimulatedUnit::EndUpload(std::string_view reason)
{
    uploading_ = false;
    std::string saved;
    if (file_) {
        const std::string error = file_->Finish();
        saved = error.empty() ? file_->Path() : "nowhere: " + error;
    }
    Print(FormatUploadSummary(uploads_, reason, tally_, saved));
}

void SimulatedUnit::Print(const std::string& text)
{
    out_ << text << std::flush;
}
