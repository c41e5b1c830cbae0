// The layer's own handles: numbers that stand for devices and events. A handle is
// never reused, so a stale one fails instead of reaching a newer object.
#pragma once

#include "serial/ComDevice.h"

#include <memory>
#include <mutex>
#include <unordered_map>

class PosixObject {
public:
    virtual ~PosixObject() = default;
    // Called once when the handle is closed; the object may live on while in use.
    virtual void Closed() {}
};

class HandleTable {
public:
    THandle Add(std::shared_ptr<PosixObject> object);
    std::shared_ptr<PosixObject> Find(THandle handle) const;
    std::shared_ptr<PosixObject> Remove(THandle handle);

    template <typename T>
    std::shared_ptr<T> Find(THandle handle) const
    {
        return std::dynamic_pointer_cast<T>(Find(handle));
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<THandle, std::shared_ptr<PosixObject>> objects_;
    THandle next_ = 0x100;
};
