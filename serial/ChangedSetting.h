// The one rule of a setting's setter: a changed value is stored, then re-applied.
#pragma once

#include "runtime/StoreIfChanged.h"

#include <atomic>

template <typename T, typename Reapply>
void StoreChanged(T& field, const T& value, Reapply reapply)
{
    if (StoreIfChanged(field, value))
        reapply();
}

// For a field the event thread reads while the main thread sets it.
template <typename T, typename Reapply>
void StoreChanged(std::atomic<T>& field, const T& value, Reapply reapply)
{
    if (field.load(std::memory_order_relaxed) == value)
        return;
    field.store(value, std::memory_order_relaxed);
    reapply();
}
