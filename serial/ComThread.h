// The event thread of an open port: waits for the line events of the port's Events
// and hands each completed wait to the port's handling steps.
#pragma once

#include "serial/CPort.h"

#include <thread>

class TComThread {
public:
    // Selects the port's events on the device and starts waiting, with the port's
    // EventThreadPriority.
    explicit TComThread(TCustomComPort& port);
    // Stops the thread and waits for its end; on the main thread it meanwhile runs
    // the hand-overs and messages the thread sends, so the two cannot deadlock.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Signals the thread to end.
    void Stop();
    TComEvents DetectedEvents() const { return detectedEvents_.load(std::memory_order_acquire); }
    std::thread::id Id() const { return thread_.get_id(); }
    bool Ended() const { return ended_.load(std::memory_order_acquire); }

private:
    void Execute();
    void WaitLoop();
    void DispatchEvents();
    void SendEventMessages();

    TCustomComPort& comPort_;
    TComDevice& device_;
    comm::THandle stopEvent_ = 0;
    // Used by a pending WaitCommEvent: members, so they outlive any wait left behind.
    comm::OVERLAPPED overlapped_{};
    comm::DWORD mask_ = 0;
    bool waitStarted_ = false;  // a wait whose result is not taken yet
    std::atomic<TComEvents> detectedEvents_{};
    TMainThreadCancel cancel_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};
