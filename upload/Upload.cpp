#include "upload/Upload.h"

#include "runtime/Format.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "runtime/Utf8Path.h"
#include "serial/CPort.h"

#include <algorithm>
#include <filesystem>
#include <limits>

const char* const MissingFileText = "Plik o podanej nazwie nie istnieje!";
const char* const DataPhaseText = "Wysyłam dane programów z szybkością 600 bit/s...";
const char* const NamePhaseText = "Wysyłam nazwy programów z szybkością 600 bit/s...";

namespace {

// Links followed; anything but a folder counts, what cannot be looked at does not.
bool IsExistingFile(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(PathFromUtf8(path), error);
    return !path.empty() && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

void StopIfRequested(std::uint64_t bytesSent, std::uint64_t totalBytes)
{
    if (const int signal = TStopSignals::Received())
        throw EUploadStopped(signal, bytesSent, totalBytes);
}

// The whole stream before the port is touched; a stop signal that ends a wait for a
// pipe's writer ends the upload.
TUploadStream ReadWholeStream(const THexSource& source, const TBankNames& names)
{
    std::optional<TUploadStream> stream;
    try {
        stream = ReadUploadStream(source, names, MaxUploadBytes);
    } catch (const EInOutError&) {
        StopIfRequested(0, 0);
        throw;
    }
    if (!stream)
        throw EUploadTooLong();
    StopIfRequested(0, 0);
    return std::move(*stream);
}

// Writes the stream byte by byte and counts what reached the line.
class TByteSender {
public:
    TByteSender(TComPort& port, TUploadView& view, std::uint64_t total) : port_(port), view_(view), total_(total) {}

    void Send(std::uint8_t byte)
    {
        StopIfRequested(sent_, total_);
        // A write cut short by its time-out would leave a hole in the unit's
        // program, so it ends the upload like a failed write.
        if (port_.Write(&byte, 1) != 1) {
            StopIfRequested(sent_, total_);
            throw EComPort(CError_WriteFailed, TimeoutSystemCode);
        }
        ++sent_;
        view_.ByteSent();
    }

private:
    TComPort& port_;
    TUploadView& view_;
    std::uint64_t total_;
    std::uint64_t sent_ = 0;
};

std::int32_t GaugeValue(std::uint64_t linesSent)
{
    // The count never wraps: a long file keeps the gauge full.
    return std::int32_t(std::min<std::uint64_t>(linesSent / 10, std::numeric_limits<std::int32_t>::max()));
}

void SendProgramWords(TByteSender& sender, const TUploadStream& stream, TUploadView& view)
{
    for (std::size_t line = 0; line < stream.words.size(); ++line) {
        for (const std::uint8_t byte : stream.words[line])
            sender.Send(byte);
        view.SetProgress(GaugeValue(line + 1));
    }
}

void SendNames(TByteSender& sender, const TUploadStream& stream)
{
    for (const std::uint8_t byte : stream.names)
        sender.Send(byte);
}

std::string StoppedText(int signal, std::uint64_t bytesSent, std::uint64_t totalBytes)
{
    if (bytesSent == 0)
        return FormatTemplate(CurrentDomainText("upload stopped by %s before any byte was sent"), {SignalName(signal)});
    return FormatTemplate(CurrentDomainText("upload stopped by %s after %d of %d bytes were sent"),
                          {SignalName(signal), std::int64_t(bytesSent), std::int64_t(totalBytes)});
}

} // namespace

EUploadStopped::EUploadStopped(int signal, std::uint64_t bytesSent, std::uint64_t totalBytes)
    : Exception(StoppedText(signal, bytesSent, totalBytes)), signal_(signal), bytesSent_(bytesSent)
{
}

EUploadTooLong::EUploadTooLong()
    : Exception(FormatTemplate(CurrentDomainText("the upload would take more than a day at %d bit/s (over %d bytes); "
                                                 "nothing was sent"),
                               {std::int64_t(UploadBitRate), std::int64_t(MaxUploadBytes)}))
{
}

void RunUpload(TComPort& port, const THexSource& source, const TBankNames& names, TUploadView& view)
{
    port.SetBaudRate(br600);
    if (!source.standardInput && !IsExistingFile(source.path)) {
        view.ShowMissingFile(MissingFileText);
        return;
    }
    view.SetProgress(0);
    const TUploadStream stream = ReadWholeStream(source, names);
    view.StreamReady(stream.Size());
    if (!port.Connected())
        port.Open();
    TByteSender sender(port, view, stream.Size());
    view.SetStatusText(DataPhaseText);
    view.SetSendEnabled(false);
    SendProgramWords(sender, stream, view);
    view.SetStatusText(NamePhaseText);
    SendNames(sender, stream);
    port.Close();
    view.SetProgress(0);
    view.SetStatusText("");
    view.SetSendEnabled(true);
}
