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
    comm::THandle Add(std::shared_ptr<PosixObject> object);
    std::shared_ptr<PosixObject> Find(comm::THandle handle) const;
    std::shared_ptr<PosixObject> Remove(comm::THandle handle);

    template <typename T>
    std::shared_ptr<T> Find(comm::THandle handle) const
    {
        return std::dynamic_pointer_cast<T>(Find(handle));
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<comm::THandle, std::shared_ptr<PosixObject>> objects_;
    comm::THandle next_ = 0x100;
};
