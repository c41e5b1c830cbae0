// Calls recorded from any thread, with waits that serve the main thread meanwhile.
#pragma once

#include "runtime/MainThread.h"
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
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
