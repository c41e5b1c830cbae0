#pragma once

#include "serial/ComDevice.h"

#include <memory>
#include <span>

class PosixEvent;

// Waits until one of `events` is set (the lowest index wins), doing the work of the
// operations pending on them meanwhile. WAIT_FAILED leaves errno.
DWORD WaitForEvents(std::span<const std::shared_ptr<PosixEvent>> events, DWORD milliseconds);
