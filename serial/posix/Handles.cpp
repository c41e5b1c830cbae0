#include "serial/posix/Handles.h"

using namespace comm;

THandle HandleTable::Add(std::shared_ptr<PosixObject> object)
{
    std::lock_guard lock(mutex_);
    THandle handle = next_;
    next_ += 4;
    objects_.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<PosixObject> HandleTable::Find(THandle handle) const
{
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<PosixObject> HandleTable::Remove(THandle handle)
{
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end())
        return nullptr;
    auto object = std::move(it->second);
    objects_.erase(it);
    return object;
}
