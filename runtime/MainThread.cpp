#include "MainThread.h"

#include "ErrorHook.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using wnd::HWND;
using wnd::TWindowProc;

namespace {

// One piece of work for the main thread: a hand-over or a sent message. Its state
// after queuing is guarded by gMutex.
struct Work {
    std::function<void()> call;    // a hand-over when set, else a message
    std::exception_ptr error;
    HWND window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::intptr_t result = 0;
    bool started = false;
    bool done = false;
    bool dropped = false;
};

using WorkPtr = std::shared_ptr<Work>;
using ProcPtr = std::shared_ptr<const TWindowProc>;

std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

std::mutex gMutex;
std::condition_variable gMainWake;   // work queued or WakeMainThread
std::condition_variable gReplies;    // work done or a wait cancelled
std::deque<WorkPtr> gQueue;
std::uint64_t gGeneration = 0;
std::function<void()> gWakeup;
std::map<HWND, ProcPtr> gWindows;
HWND gNextWindow = 1;

// The sent message the main thread's window procedure is handling, if any.
thread_local Work* tCurrentMessage = nullptr;

void Enqueue(const WorkPtr& work)
{
    std::function<void()> wakeup;
    {
        std::lock_guard lock(gMutex);
        gQueue.push_back(work);
        ++gGeneration;
        wakeup = gWakeup;
    }
    gMainWake.notify_all();
    if (wakeup)
        wakeup();
}

void Finish(Work& work, std::intptr_t result)
{
    {
        std::lock_guard lock(gMutex);
        if (work.done)
            return;
        work.result = result;
        work.done = true;
    }
    gReplies.notify_all();
}

bool Abandoned(Work& work, const TMainThreadCancel* cancel)
{
    if (!cancel || !cancel->Cancelled())
        return false;
    if (work.started)
        return true;
    if (!cancel->DropQueued())
        return false;
    work.dropped = true;
    return true;
}

// Waits off the main thread until the work is done; false when abandoned. The
// call's exception moves to the waiting thread, which alone then releases it.
bool AwaitDone(Work& work, const TMainThreadCancel* cancel, std::exception_ptr* error = nullptr)
{
    std::unique_lock lock(gMutex);
    gReplies.wait(lock, [&] { return work.done || Abandoned(work, cancel); });
    if (error && work.done)
        *error = std::move(work.error);
    return work.done;
}

ProcPtr FindWindow(HWND window)
{
    std::lock_guard lock(gMutex);
    auto found = gWindows.find(window);
    return found == gWindows.end() ? nullptr : found->second;
}

std::intptr_t CallProc(const ProcPtr& proc, Work& work)
{
    try {
        return (*proc)(work.message, work.wParam, work.lParam);
    } catch (...) {
        // A window procedure has nowhere to raise to.
        HandleCurrentException();
        return 0;
    }
}

void RunMessage(Work& work)
{
    std::intptr_t result = 0;
    if (ProcPtr proc = FindWindow(work.window)) {
        Work* outer = tCurrentMessage;
        tCurrentMessage = &work;
        result = CallProc(proc, work);
        tCurrentMessage = outer;
    }
    Finish(work, result);
}

void RunCall(Work& work)
{
    std::exception_ptr error;
    try {
        work.call();
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard lock(gMutex);
        work.error = std::move(error);
    }
    Finish(work, 0);
}

WorkPtr NextWork()
{
    std::lock_guard lock(gMutex);
    while (!gQueue.empty()) {
        WorkPtr work = std::move(gQueue.front());
        gQueue.pop_front();
        if (work->dropped)
            continue;
        work->started = true;
        return work;
    }
    return nullptr;
}

} // namespace

void SetMainThread() { gMainThread.store(std::this_thread::get_id()); }
bool IsMainThread() { return gMainThread.load() == std::this_thread::get_id(); }

void SetMainThreadWakeup(std::function<void()> wakeup)
{
    std::lock_guard lock(gMutex);
    gWakeup = std::move(wakeup);
}

int ProcessMainThreadWork()
{
    int count = 0;
    while (WorkPtr work = NextWork()) {
        if (work->call)
            RunCall(*work);
        else
            RunMessage(*work);
        ++count;
    }
    return count;
}

bool ServeMainThreadUntil(const std::function<bool()>& done,
                          std::chrono::steady_clock::time_point deadline)
{
    const bool onMain = IsMainThread();
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(gMutex);
            seen = gGeneration;
        }
        if (onMain)
            ProcessMainThreadWork();
        if (done())
            return true;
        std::unique_lock lock(gMutex);
        const bool woken = gMainWake.wait_until(lock, deadline, [&] {
            return gGeneration != seen || (onMain && !gQueue.empty());
        });
        if (!woken) {
            lock.unlock();
            return done();
        }
    }
}

void WakeMainThread()
{
    {
        std::lock_guard lock(gMutex);
        ++gGeneration;
    }
    gMainWake.notify_all();
}

void TMainThreadCancel::Cancel()
{
    {
        std::lock_guard lock(gMutex);
        // Cancelled on the main thread, queued work will still be run there.
        dropQueued_.store(!IsMainThread(), std::memory_order_release);
        cancelled_.store(true, std::memory_order_release);
    }
    gReplies.notify_all();
}

bool RunOnMainThread(const std::function<void()>& call, TMainThreadCancel* cancel)
{
    if (IsMainThread()) {
        call();
        return true;
    }
    auto work = std::make_shared<Work>();
    work->call = call;
    Enqueue(work);
    std::exception_ptr error;
    if (!AwaitDone(*work, cancel, &error))
        return false;
    if (error)
        std::rethrow_exception(error);
    return true;
}

namespace wnd {

HWND AllocateHWnd(TWindowProc proc)
{
    std::lock_guard lock(gMutex);
    const HWND window = gNextWindow++;
    gWindows.emplace(window, std::make_shared<const TWindowProc>(std::move(proc)));
    return window;
}

void DeallocateHWnd(HWND window)
{
    {
        std::lock_guard lock(gMutex);
        gWindows.erase(window);
        for (const WorkPtr& work : gQueue)
            if (!work->call && work->window == window && !work->done) {
                work->dropped = true;
                work->done = true;
            }
    }
    gReplies.notify_all();
}

std::intptr_t Send(HWND window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, TMainThreadCancel* cancel)
{
    if (IsMainThread()) {
        ProcPtr proc = FindWindow(window);
        if (!proc)
            return 0;
        Work* outer = tCurrentMessage;
        tCurrentMessage = nullptr;
        Work direct;
        direct.message = message;
        direct.wParam = wParam;
        direct.lParam = lParam;
        const std::intptr_t result = CallProc(proc, direct);
        tCurrentMessage = outer;
        return result;
    }
    auto work = std::make_shared<Work>();
    work->window = window;
    work->message = message;
    work->wParam = wParam;
    work->lParam = lParam;
    Enqueue(work);
    if (!AwaitDone(*work, cancel))
        return 0;
    std::lock_guard lock(gMutex);
    return work->result;
}

bool InSendMessage() { return tCurrentMessage != nullptr; }

bool ReplyMessage(std::intptr_t result)
{
    Work* work = tCurrentMessage;
    if (!work)
        return false;
    std::lock_guard lock(gMutex);
    if (work->done)
        return false;
    work->result = result;
    work->done = true;
    gReplies.notify_all();
    return true;
}

std::intptr_t DefaultProc(HWND, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }

} // namespace wnd
