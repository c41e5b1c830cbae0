// Turning detected line events into handling steps, on the thread SyncMethod chooses.
#include "serial/CPort.h"

#include <array>
#include <utility>

namespace {

// Each event with its mask bit, in the order the steps run.
constexpr std::array<std::pair<TComEvent, DWORD>, 10> kDispatchOrder = {{
    {evError, EV_ERR},
    {evRxChar, EV_RXCHAR},
    {evTxEmpty, EV_TXEMPTY},
    {evBreak, EV_BREAK},
    {evRing, EV_RING},
    {evCTS, EV_CTS},
    {evDSR, EV_DSR},
    {evRxFlag, EV_RXFLAG},
    {evRLSD, EV_RLSD},
    {evRx80Full, EV_RX80FULL},
}};

} // namespace

DWORD EventsToMask(TComEvents events)
{
    DWORD mask = 0;
    for (auto [event, bit] : kDispatchOrder)
        if (events.Contains(event))
            mask |= bit;
    return mask;
}

TComEvents MaskToEvents(DWORD mask)
{
    TComEvents events;
    for (auto [event, bit] : kDispatchOrder)
        if (mask & bit)
            events.Include(event);
    return events;
}

void TCustomComPort::DispatchEvents(TComEvents) { throw EInvalidOperation("DispatchEvents is not available yet"); }
void TCustomComPort::ProcessEvents(TComEvents) {}
void TCustomComPort::SendEventMessages(TComEvents) {}
std::intptr_t TCustomComPort::HandlePortMessage(std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }
