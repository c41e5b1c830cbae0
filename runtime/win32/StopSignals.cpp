// Stop requests from the console's control events. Windows runs the handler on a
// thread of its own, so plain locks will do here.
#include "runtime/StopSignals.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <windows.h>

namespace {

// After a close, logoff or shutdown event the system ends the process as soon as the
// handler returns (and after a few seconds in any case): the handler gives the program
// this long to release what it holds.
constexpr DWORD kReleaseWaitMs = 10000;

std::atomic<int> gReceived{0};
std::atomic<bool> gActive{false};
std::mutex gMutex;
HANDLE gOwnerThread = nullptr;  // under gMutex
HANDLE gReleased = nullptr;     // under gMutex; set when the object goes

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT: signal = SIGINT; break;
    case CTRL_BREAK_EVENT: signal = SIGBREAK; break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: signal = SIGTERM; break;
    default: return FALSE;
    }
    int none = 0;
    gReceived.compare_exchange_strong(none, signal);
    HANDLE released = nullptr;
    {
        std::lock_guard lock(gMutex);
        if (gOwnerThread)
            CancelSynchronousIo(gOwnerThread);  // ERROR_NOT_FOUND: it was not waiting
        if (signal == SIGTERM && gReleased)
            DuplicateHandle(GetCurrentProcess(), gReleased, GetCurrentProcess(), &released, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
    }
    if (released) {
        WaitForSingleObject(released, kReleaseWaitMs);
        CloseHandle(released);
    }
    return TRUE;
}

// Puts the earlier handling back.
void Release()
{
    HANDLE owner = nullptr, released = nullptr;
    {
        std::lock_guard lock(gMutex);
        std::swap(owner, gOwnerThread);
        std::swap(released, gReleased);
    }
    // A handler waiting for the release returns before its own removal is asked for.
    if (released) {
        SetEvent(released);
        CloseHandle(released);
    }
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    if (owner)
        CloseHandle(owner);
    gReceived = 0;
    gActive = false;
}

} // namespace

TStopSignals::TStopSignals()
{
    if (gActive.exchange(true))
        throw std::logic_error("TStopSignals: one object at a time");
    HANDLE owner = nullptr;
    // Cancelling another thread's I/O needs THREAD_TERMINATE on it.
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &owner, THREAD_TERMINATE,
                    FALSE, 0);
    HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard lock(gMutex);
        gOwnerThread = owner;
        gReleased = released;
    }
    gReceived = 0;
    if (!released || !SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        Release();
        throw std::runtime_error("TStopSignals: no console control handler");
    }
}

TStopSignals::~TStopSignals()
{
    Release();
}

int TStopSignals::Received() noexcept
{
    return gReceived.load();
}

int TStopSignals::NotifierFd() noexcept
{
    return -1;
}

void IgnoreBrokenPipe()
{
}
