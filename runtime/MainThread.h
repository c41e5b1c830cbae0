// Work handed to the main thread by other threads, free of any GUI toolkit.
//
// Two kinds: a synchronous hand-over (RunOnMainThread: the caller waits until the
// main thread has run the call) and messages sent to a hidden window of the main
// thread (wnd::Send: the sender waits until the window procedure replies, which
// it may do on entry with ReplyMessage).
//
// The main thread runs the waiting work in ProcessMainThreadWork. A GUI wires it
// into its event loop: SetMainThreadWakeup gets a callback that posts a queued call
// of ProcessMainThreadWork to the loop; it is called from the thread that queued the
// work, so it must only post. The main thread also runs the work while it waits in
// ServeMainThreadUntil, for example for another thread's end.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

// The main thread is the one that ran static initialisation, unless this names another.
void SetMainThread();
bool IsMainThread();

// The callback that tells the GUI work is waiting; empty: none.
void SetMainThreadWakeup(std::function<void()> wakeup);

// Runs every piece of work waiting for the main thread, including work queued by
// the pieces themselves. Main thread only. Returns how many ran.
int ProcessMainThreadWork();

// Runs main-thread work until `done()` is true or the deadline passes; returns
// done(). Another thread that makes `done()` true calls WakeMainThread afterwards.
// Off the main thread it only waits.
bool ServeMainThreadUntil(const std::function<bool()>& done,
                          std::chrono::steady_clock::time_point deadline =
                              std::chrono::steady_clock::time_point::max());
void WakeMainThread();

// Lets a thread stop waiting for the main thread: a wait whose call the main thread
// is running (for example a handler that ends the waiting thread's owner) or, when
// cancelled off the main thread, has not begun, returns at once as abandoned.
class TMainThreadCancel {
public:
    void Cancel();
    bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
    bool DropQueued() const { return dropQueued_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> dropQueued_{false};
};

// Runs `call` on the main thread and waits for it; on the main thread it runs at
// once. An exception of the call is raised again in the caller. False when the wait
// was abandoned through `cancel`.
bool RunOnMainThread(const std::function<void()>& call, TMainThreadCancel* cancel = nullptr);

// --- hidden windows -----------------------------------------------------------------
namespace wnd {

// The names are the system's where <windows.h> has them as functions or types; its
// macros (SendMessage, DefWindowProc, WM_USER) are not spelt here.
using HWND = std::uintptr_t;
using TWindowProc = std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam)>;
constexpr std::uint32_t kWmUser = 0x400;

// A window of the main thread that receives messages through `proc`; 0 on failure.
HWND AllocateHWnd(TWindowProc proc);
// Releases the window; messages still queued for it are answered with 0.
void DeallocateHWnd(HWND window);

// Sends a message and waits for its result: on the main thread the procedure runs at
// once; from another thread the message waits for the main thread. A window that
// does not exist (any more) answers 0. `cancel` as for RunOnMainThread (result 0).
std::intptr_t Send(HWND window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, TMainThreadCancel* cancel = nullptr);
// In a window procedure: true when the message came from another thread.
bool InSendMessage();
// In a window procedure: releases the sender with `result`; false when there is no
// sender waiting (not in a sent message, or already replied).
bool ReplyMessage(std::intptr_t result);
// The default handling of a message: nothing, result 0.
std::intptr_t DefaultProc(HWND window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam);

} // namespace wnd
