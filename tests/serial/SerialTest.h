// Shared by the serial tests: handler calls recorded from any thread and the codes of
// a raised EComPort.
#pragma once

#include "serial/CPort.h"
#include "EventLog.h"
#include <gtest/gtest.h>
#include <utility>

// EComPort's code and system code, or {0, 0} when nothing was raised.
template <typename F>
std::pair<int, int> Raised(F&& call)
{
    try { call(); } catch (const EComPort& e) { return {e.Code(), e.WinCode()}; }
    return {0, 0};
}
