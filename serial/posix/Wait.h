#pragma once

#include "serial/ComDevice.h"

#include <memory>
#include <vector>

class PosixEvent;

// Waits until one of `events` is set (the lowest index wins), doing the work of the
// operations pending on them meanwhile. WAIT_FAILED leaves errno.
DWORD WaitForEvents(const std::vector<std::shared_ptr<PosixEvent>>& events, DWORD milliseconds);
