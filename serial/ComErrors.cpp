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
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
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
