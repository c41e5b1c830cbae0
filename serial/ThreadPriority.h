// The scheduling of a port's event thread, by platform (posix/ or win32/ThreadPriority.cpp).
#pragma once

#include "serial/ComSettings.h"

// Gives the calling thread the scheduling of a port's event thread; a refusal
// (no privilege for a higher priority) leaves it unchanged.
void SetEventThreadPriority(TComThreadPriority priority);
