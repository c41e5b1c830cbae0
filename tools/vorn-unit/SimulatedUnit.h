// The unit's receive loop: one thread blocked in poll on the master and a
// signalfd. An upload starts with its first byte and ends when the transmitter
// closes the port or the line has been quiet for a second; each end prints a
// summary and, with -o, leaves the upload's bytes in the file.
#pragma once

#include "tools/vorn-unit/LineSettings.h"
#include "tools/vorn-unit/PtyPair.h"
#include "tools/vorn-unit/UploadFile.h"
#include "tools/vorn-unit/UploadSummary.h"

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

class SimulatedUnit {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds QuietEnd{1000};

    // `out` takes the reports; `file` is the -o file or null.
    SimulatedUnit(PtyPair& pty, int signalFd, std::ostream& out, std::unique_ptr<UploadFile> file);

    // Serves uploads until SIGINT or SIGTERM arrives on the signalfd; an upload in
    // progress then ends with its summary. Throws on a failure of the pseudo-terminal.
    void Run();

private:
    int PollTimeoutMs() const;
    void ReadMaster();
    void Receive(std::string_view bytes);
    void ReportSettings();
    void PortClosed();
    void EndUpload(std::string_view reason);
    void Print(const std::string& text);

    PtyPair& pty_;
    int signalFd_;
    std::ostream& out_;
    std::unique_ptr<UploadFile> file_;
    unsigned uploads_ = 0;
    bool uploading_ = false;
    UploadTally tally_;
    Clock::time_point lastByte_{};
    std::optional<LineSettings> reported_;
};
