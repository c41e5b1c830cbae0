// Handler calls recorded from any thread, with the thread each ran on, and waits for
// them that end at a deadline. Shared by the serial component's tests.
#pragma once

#include "runtime/MainThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using Names = std::vector<std::string>;

inline std::chrono::steady_clock::time_point Within(std::chrono::milliseconds ms)
{
    return std::chrono::steady_clock::now() + ms;
}

class EventLog {
public:
    void Add(std::string entry)
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
        onMain_.push_back(IsMainThread());
        changed_.notify_all();
        WakeMainThread();
    }
    // Waits without serving the main thread.
    bool WaitFor(size_t count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(2), [&] { return entries_.size() >= count; });
    }
    // Serves the main thread's work (where handlers may run) until `done` holds.
    bool ServeUntil(const std::function<bool(const Names&)>& done)
    {
        return ServeMainThreadUntil(
            [&] {
                std::lock_guard lock(mutex_);
                return done(entries_);
            },
            Within(std::chrono::milliseconds(2000)));
    }
    bool ServeUntil(size_t count)
    {
        return ServeUntil([count](const Names& entries) { return entries.size() >= count; });
    }
    size_t Size()
    {
        std::lock_guard lock(mutex_);
        return entries_.size();
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
