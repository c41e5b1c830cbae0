#include "serial/ComThread.h"

#include "serial/ComPortDispatch.h"
#include "serial/ThreadPriority.h"

#include "runtime/Format.h"
#include "runtime/TextLookup.h"

using namespace comm;
using namespace wnd;

namespace {

[[noreturn]] void StartFailed(DWORD error)
{
    throw Exception(FormatTemplate(RuntimeText("Cannot start the event thread (error %d)"),
                                   {std::int64_t{error}}));
}

} // namespace

TComThread::TComThread(TCustomComPort& port) : comPort_(port), device_(port.Device())
{
    stopEvent_ = device_.NewEvent(true, false);
    if (!stopEvent_)
        StartFailed(device_.GetLastError());
    overlapped_.hEvent = device_.NewEvent(true, true);
    if (!overlapped_.hEvent) {
        const DWORD error = device_.GetLastError();
        device_.CloseHandle(stopEvent_);
        StartFailed(error);
    }
    device_.SetCommMask(comPort_.Handle(), EventsToMask(comPort_.Events()));
    try {
        thread_ = std::thread([this, priority = comPort_.EventThreadPriority()] {
            SetEventThreadPriority(priority);
            Execute();
        });
    } catch (...) {
        device_.CloseHandle(overlapped_.hEvent);
        device_.CloseHandle(stopEvent_);
        throw;
    }
}

TComThread::~TComThread()
{
    Stop();
    ServeMainThreadUntil([this] { return Ended(); });
    thread_.join();
    device_.CloseHandle(overlapped_.hEvent);
    device_.CloseHandle(stopEvent_);
}

void TComThread::Stop()
{
    device_.SetEvent(stopEvent_);
    cancel_.Cancel();
}

void TComThread::Execute()
{
    try {
        WaitLoop();
        // The new mask ends a pending wait, which must be over before its record goes.
        DWORD done = 0;
        if (device_.SetCommMask(comPort_.Handle(), 0) && waitStarted_)
            device_.GetOverlappedResult(comPort_.Handle(), &overlapped_, &done, true);
        device_.PurgeComm(comPort_.Handle(), kPurgeTxClear | kPurgeRxClear);
    } catch (...) {
        // A failing handling step ends the thread as stopping does, but the mask and
        // the queues stay as they are; the port stays open without event reports.
    }
    ended_.store(true, std::memory_order_release);
    WakeMainThread();
}

void TComThread::WaitLoop()
{
    const THandle events[2] = {stopEvent_, overlapped_.hEvent};
    DWORD waitCount = 2;
    int failedWaits = 0;
    for (;;) {
        if (waitCount == 2) {
            waitStarted_ = device_.WaitCommEvent(comPort_.Handle(), &mask_, &overlapped_)
                           || device_.GetLastError() == kErrorIoPending;
            if (!waitStarted_)
                waitCount = 1;  // no line event can come: wait for the stop alone, never spin
        }
        const DWORD r = device_.WaitForMultipleObjects(waitCount, events, false, kInfinite);
        if (r != kWaitObject0 + 1)
            return;
        DWORD done = 0;
        waitStarted_ = false;
        if (device_.GetOverlappedResult(comPort_.Handle(), &overlapped_, &done, false)) {
            failedWaits = 0;
            detectedEvents_.store(MaskToEvents(mask_), std::memory_order_release);
            DispatchEvents();
        } else if (++failedWaits == 2) {
            waitCount = 1;  // a device whose waits keep failing would have the thread spin
        }
        if (cancel_.Cancelled())
            return;
    }
}

void TComThread::DispatchEvents()
{
    switch (comPort_.SyncMethod()) {
    case smThreadSync: {
        const TComEvents detected = DetectedEvents();
        RunOnMainThread([this, detected] { comPort_.ProcessEvents(detected); }, &cancel_);
        break;
    }
    case smWindowSync:
        SendEventMessages();
        break;
    case smNone:
        comPort_.ProcessEvents(DetectedEvents());
        break;
    }
}

void TComThread::SendEventMessages()
{
    const TComEvents detected = DetectedEvents();
    for (const TComEventStep& e : ComEventSteps) {
        if (!detected.Contains(e.Event))
            continue;
        Send(comPort_.EventWindow(), CM_COMPORT_EVENT, e.MaskBit, 0, &cancel_);
        if (cancel_.Cancelled())
            return;
    }
}
