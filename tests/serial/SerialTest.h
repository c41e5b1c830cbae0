// Shared by the serial tests: handler calls recorded from any thread and the codes of
// a raised EComPort.
#pragma once

#include "serial/CPort.h"
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

inline auto Within(std::chrono::milliseconds ms) { return std::chrono::steady_clock::now() + ms; }

class EventLog {
public:
    void Add(std::string entry)
    {
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(std::move(entry));
            onMain_.push_back(IsMainThread());
        }
        changed_.notify_all();
        WakeMainThread();
    }
    // Waits for `done(entries)`, serving the main thread's work (where handlers may run) unless told not to.
    template <typename Done>
    bool Until(Done done, bool serve = true, std::chrono::milliseconds within = 2000ms)
    {
        std::unique_lock lock(mutex_);
        if (!serve)
            return changed_.wait_for(lock, within, [&] { return done(entries_); });
        lock.unlock();
        return ServeMainThreadUntil([&] { return done(Entries()); }, Within(within));
    }
    bool WaitFor(std::size_t count, bool serve = true)
    {
        return Until([count](const Names& e) { return e.size() >= count; }, serve);
    }
    Names Entries()
    {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::vector<bool> OnMain()
    {
        std::lock_guard lock(mutex_);
        return onMain_;
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        entries_.clear();
        onMain_.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    Names entries_;
    std::vector<bool> onMain_;
};

// EComPort's code and system code, or {0, 0} when nothing was raised.
template <typename F>
std::pair<int, int> Raised(F&& call)
{
    try { call(); } catch (const EComPort& e) { return {e.Code(), e.WinCode()}; }
    return {0, 0};
}
