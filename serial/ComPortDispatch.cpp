// Turning detected line events into handling steps, on the thread SyncMethod chooses.
#include "serial/CPort.h"

#include "runtime/ErrorHook.h"

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

void TCustomComPort::ProcessEvents(TComEvents detected)
{
    using Step = void (TCustomComPort::*)();
    static constexpr std::array<Step, 10> kSteps = {
        &TCustomComPort::HandleError, &TCustomComPort::HandleRxChar,
        &TCustomComPort::HandleTxEmpty, &TCustomComPort::HandleBreak,
        &TCustomComPort::HandleRing, &TCustomComPort::HandleCTSChange,
        &TCustomComPort::HandleDSRChange, &TCustomComPort::HandleRxFlag,
        &TCustomComPort::HandleRLSDChange, &TCustomComPort::HandleRx80Full};
    for (std::size_t i = 0; i < kDispatchOrder.size(); ++i) {
        // A handler that closed the port ends the dispatch: the device is gone.
        if (detected.Contains(kDispatchOrder[i].first) && Connected())
            (this->*kSteps[i])();
    }
}

std::intptr_t TCustomComPort::HandlePortMessage(std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam)
{
    if (message != CM_COMPORT_EVENT)
        return DefWindowProc(EventWindow(), message, wParam, lParam);
    // The event thread goes on at once; the step runs here, on the main thread.
    if (InSendMessage())
        ReplyMessage(0);
    if (!Connected())
        return 0;
    try {
        RunMessageStep(static_cast<DWORD>(wParam));
    } catch (...) {
        HandleCurrentException();
    }
    return 0;
}

void TCustomComPort::RunMessageStep(DWORD maskBit)
{
    switch (maskBit) {
    case EV_RXCHAR: HandleRxChar(); break;
    case EV_RXFLAG: HandleRxFlag(); break;
    case EV_TXEMPTY: HandleTxEmpty(); break;
    case EV_CTS: HandleCTSChange(); break;
    case EV_DSR: HandleDSRChange(); break;
    case EV_RLSD: HandleRLSDChange(); break;
    case EV_BREAK: HandleBreak(); break;
    case EV_ERR: HandleError(); break;
    case EV_RING: HandleRing(); break;
    case EV_RX80FULL: HandleRx80Full(); break;
    default: break;
    }
}
