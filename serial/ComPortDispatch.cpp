// Turning detected line events into handling steps, on the thread SyncMethod chooses.
#include "serial/ComPortDispatch.h"

#include "runtime/ErrorHook.h"

using namespace comm;
using namespace wnd;

const std::array<TComEventStep, 10> ComEventSteps = {{
    {evError, kEvErr, &TCustomComPort::HandleError},
    {evRxChar, kEvRxChar, &TCustomComPort::HandleRxChar},
    {evTxEmpty, kEvTxEmpty, &TCustomComPort::HandleTxEmpty},
    {evBreak, kEvBreak, &TCustomComPort::HandleBreak},
    {evRing, kEvRing, &TCustomComPort::HandleRing},
    {evCTS, kEvCts, &TCustomComPort::HandleCTSChange},
    {evDSR, kEvDsr, &TCustomComPort::HandleDSRChange},
    {evRxFlag, kEvRxFlag, &TCustomComPort::HandleRxFlag},
    {evRLSD, kEvRlsd, &TCustomComPort::HandleRLSDChange},
    {evRx80Full, kEvRx80Full, &TCustomComPort::HandleRx80Full},
}};

DWORD EventsToMask(TComEvents events)
{
    DWORD mask = 0;
    for (const TComEventStep& e : ComEventSteps)
        if (events.Contains(e.Event))
            mask |= e.MaskBit;
    return mask;
}

TComEvents MaskToEvents(DWORD mask)
{
    TComEvents events;
    for (const TComEventStep& e : ComEventSteps)
        if (mask & e.MaskBit)
            events.Include(e.Event);
    return events;
}

void TCustomComPort::ProcessEvents(TComEvents detected)
{
    for (const TComEventStep& e : ComEventSteps) {
        // A handler that closed the port ends the dispatch: the device is gone.
        if (detected.Contains(e.Event) && Connected())
            (this->*e.Step)();
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
    for (const TComEventStep& e : ComEventSteps)
        if (e.MaskBit == maskBit)
            (this->*e.Step)();
}
