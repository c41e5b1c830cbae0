// Turning detected line events into handling steps, on the thread SyncMethod chooses.
#include "serial/CPort.h"

#include "runtime/ErrorHook.h"

#include <array>
#include <utility>

using namespace comm;
using namespace wnd;

namespace {

// Each event with its mask bit, in the order the steps run.
constexpr std::array<std::pair<TComEvent, DWORD>, 10> kDispatchOrder = {{
    {evError, kEvErr},
    {evRxChar, kEvRxChar},
    {evTxEmpty, kEvTxEmpty},
    {evBreak, kEvBreak},
    {evRing, kEvRing},
    {evCTS, kEvCts},
    {evDSR, kEvDsr},
    {evRxFlag, kEvRxFlag},
    {evRLSD, kEvRlsd},
    {evRx80Full, kEvRx80Full},
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
        return DefaultProc(EventWindow(), message, wParam, lParam);
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
    case kEvRxChar: HandleRxChar(); break;
    case kEvRxFlag: HandleRxFlag(); break;
    case kEvTxEmpty: HandleTxEmpty(); break;
    case kEvCts: HandleCTSChange(); break;
    case kEvDsr: HandleDSRChange(); break;
    case kEvRlsd: HandleRLSDChange(); break;
    case kEvBreak: HandleBreak(); break;
    case kEvErr: HandleError(); break;
    case kEvRing: HandleRing(); break;
    case kEvRx80Full: HandleRx80Full(); break;
    default: break;
    }
}
