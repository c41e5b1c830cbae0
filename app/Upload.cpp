#include "app/Upload.h"

#include "app/UploadStream.h"
#include "runtime/StopSignals.h"
#include "runtime/Utf8Path.h"
#include "serial/CPort.h"

#include <algorithm>
#include <cerrno>
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

// Writes the stream byte by byte and counts what reached the line.
class TByteSender {
public:
    TByteSender(TComPort& port, TUploadView& view) : port_(port), view_(view) {}

    void Send(std::uint8_t byte)
    {
        StopIfRequested();
        // A write cut short by its time-out would leave a hole in the unit's
        // program, so it ends the upload like a failed write.
        if (port_.Write(&byte, 1) != 1) {
            StopIfRequested();
            throw EComPort(CError_WriteFailed, ETIMEDOUT);
        }
        ++sent_;
        view_.ByteSent();
    }

    void StopIfRequested() const
    {
        if (const int signal = TStopSignals::Received())
            throw EUploadStopped(signal, sent_);
    }

private:
    TComPort& port_;
    TUploadView& view_;
    std::uint64_t sent_ = 0;
};

std::int32_t GaugeValue(std::uint64_t linesSent)
{
    // The count never wraps: a long file keeps the gauge full.
    return std::int32_t(std::min<std::uint64_t>(linesSent / 10, std::numeric_limits<std::int32_t>::max()));
}

void SendProgramWords(TByteSender& sender, HexFileReader& reader, TUploadView& view)
{
    std::uint64_t linesSent = 0;
    try {
        while (!reader.Eof()) {
            const auto word = DecodeHexLine(reader.ReadLine());
            if (!word)
                continue;
            for (std::uint8_t byte : *word)
                sender.Send(byte);
            ++linesSent;
            view.SetProgress(GaugeValue(linesSent));
        }
    } catch (const EInOutError&) {
        sender.StopIfRequested();  // a read the stop signal interrupted
        throw;
    }
}

void SendNames(TByteSender& sender, const TBankNames& names)
{
    for (const auto& name : names)
        for (std::uint8_t byte : EncodeBankName(name))
            sender.Send(byte);
}

std::string StoppedText(int signal, std::uint64_t bytesSent)
{
    return "upload stopped by " + SignalName(signal) + " after " + std::to_string(bytesSent) +
           (bytesSent == 1 ? " byte was sent" : " bytes were sent");
}

} // namespace

EUploadStopped::EUploadStopped(int signal, std::uint64_t bytesSent)
    : Exception(StoppedText(signal, bytesSent)), signal_(signal), bytesSent_(bytesSent)
{
}

void RunUpload(TComPort& port, const std::string& path, const TBankNames& names,
               TUploadView& view)
{
    port.SetBaudRate(br600);
    if (!IsExistingFile(path)) {
        view.ShowMissingFile(MissingFileText);
        return;
    }
    view.SetProgress(0);
    if (!port.Connected())
        port.Open();
    TByteSender sender(port, view);
    {
        HexFileReader reader(path);
        view.SetStatusText(DataPhaseText);
        view.SetSendEnabled(false);
        SendProgramWords(sender, reader, view);
        reader.Close();
    }
    view.SetStatusText(NamePhaseText);
    SendNames(sender, names);
    port.Close();
    view.SetProgress(0);
    view.SetStatusText("");
    view.SetSendEnabled(true);
}
