#pragma once

#include "serial/ComDevice.h"

#include <memory>
#include <span>

class PosixEvent;

// Waits until one of `events` is set (the lowest index wins), doing the work of the
// operations pending on them meanwhile. comm::kWaitFailed leaves errno.
comm::DWORD WaitForEvents(std::span<const std::shared_ptr<PosixEvent>> events, comm::DWORD milliseconds);
