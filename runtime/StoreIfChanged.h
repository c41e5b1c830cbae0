// The rule of a property's setter: only a different value is stored, and the caller
// learns whether it was, to redraw or re-apply only then.
#pragma once

template <typename T>
bool StoreIfChanged(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
