#include "serial/ComErrors.h"

#include "runtime/Format.h"
#include "runtime/TextLookup.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using MessageTable = std::array<std::string, ComErrorCount>;

constexpr std::array<const char*, ComErrorCount> kEnglish = {
    N_("Unable to open com port"),
    N_("WriteFile function failed"),
    N_("ReadFile function failed"),
    N_("Invalid Async parameter"),
    N_("PurgeComm function failed"),
    N_("Unable to get async status"),
    N_("SetCommState function failed"),
    N_("SetCommTimeouts failed"),
    N_("SetupComm function failed"),
    N_("ClearCommError function failed"),
    N_("GetCommModemStatus function failed"),
    N_("EscapeCommFunction function failed"),
    N_("TransmitCommChar function failed"),
    N_("Cannot set property while connected"),
    N_("EnumPorts function failed"),
    N_("Failed to store settings"),
    N_("Failed to load settings"),
    N_("Link (un)registration failed"),
    N_("Cannot change led state if ComPort is selected"),
    N_("Cannot wait for event if event thread is created"),
    N_("WaitForEvent method failed"),
    N_("A component is linked to OnRxBuf event"),
    N_("Registry error"),
};

// An exception may be built on the event thread while the table is read; a refill
// publishes a new table and keeps the old ones until the program ends.
std::atomic<const MessageTable*> gTable{nullptr};
std::mutex gFillMutex;
std::vector<std::unique_ptr<const MessageTable>> gTables;

} // namespace

void InitComErrorMessages()
{
    AddRuntimeTextDomain("cport");
    auto table = std::make_unique<MessageTable>();
    for (int i = 0; i < ComErrorCount; ++i)
        (*table)[i] = CurrentDomainText(kEnglish[i]);
    std::lock_guard lock(gFillMutex);
    gTable.store(table.get(), std::memory_order_release);
    gTables.push_back(std::move(table));
}

std::string ComErrorMessages(int code)
{
    if (code < 1 || code > ComErrorCount)
        return {};
    if (const MessageTable* table = gTable.load(std::memory_order_acquire))
        return (*table)[code - 1];
    return kEnglish[code - 1];
}

EComPort::EComPort(int code) : Exception(ComErrorMessages(code)), code_(code), winCode_(-1)
{
}

EComPort::EComPort(int code, int winCode)
    : Exception(FormatTemplate(ComErrorMessages(code) + CurrentDomainText(" (win error code: %d)"),
                               {std::int64_t{winCode}})),
      code_(code), winCode_(winCode)
{
}
