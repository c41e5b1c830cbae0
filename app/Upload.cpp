#include "app/Upload.h"

#include "app/UploadStream.h"
#include "serial/CPort.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/stat.h>

const char* const MissingFileText = "Plik o podanej nazwie nie istnieje!";
const char* const DataPhaseText = "Wysyłam dane programów z szybkością 600 bit/s...";
const char* const NamePhaseText = "Wysyłam nazwy programów z szybkością 600 bit/s...";

namespace {

bool IsExistingFile(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// A write cut short by its time-out would leave a hole in the unit's program,
// so it ends the upload like a failed write.
void SendByte(TComPort& port, std::uint8_t byte, TUploadView& view)
{
    if (port.Write(&byte, 1) != 1)
        throw EComPort(CError_WriteFailed, ETIMEDOUT);
    view.ByteSent();
}

std::int32_t GaugeValue(std::uint64_t linesSent)
{
    // The count never wraps: a long file keeps the gauge full.
    return std::int32_t(std::min<std::uint64_t>(linesSent / 10, std::numeric_limits<std::int32_t>::max()));
}

void SendProgramWords(TComPort& port, HexFileReader& reader, TUploadView& view)
{
    std::uint64_t linesSent = 0;
    while (!reader.Eof()) {
        const auto word = DecodeHexLine(reader.ReadLine());
        if (!word)
            continue;
        for (std::uint8_t byte : *word)
            SendByte(port, byte, view);
        ++linesSent;
        view.SetProgress(GaugeValue(linesSent));
    }
}

void SendNames(TComPort& port, const TBankNames& names, TUploadView& view)
{
    for (const auto& name : names)
        for (std::uint8_t byte : EncodeBankName(name))
            SendByte(port, byte, view);
}

} // namespace

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
    {
        HexFileReader reader(path);
        view.SetStatusText(DataPhaseText);
        view.SetSendEnabled(false);
        SendProgramWords(port, reader, view);
        reader.Close();
    }
    view.SetStatusText(NamePhaseText);
    SendNames(port, names, view);
    port.Close();
    view.SetProgress(0);
    view.SetStatusText("");
    view.SetSendEnabled(true);
}
