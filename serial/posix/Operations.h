// The three kinds of pending operation, started by PosixComDevice.
#pragma once

#include "serial/posix/PendingOp.h"

std::shared_ptr<PendingOp> MakeWriteOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                                       std::shared_ptr<PosixEvent> event, const void* data,
                                       DWORD count);
std::shared_ptr<PendingOp> MakeReadOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                                      std::shared_ptr<PosixEvent> event, void* data, DWORD count);
// Completes with the events found written to *mask; SetCommMask ends it with mask 0.
std::shared_ptr<PendingOp> MakeWaitOp(std::shared_ptr<PosixPort> port, OVERLAPPED* overlapped,
                                      std::shared_ptr<PosixEvent> event, DWORD* mask);
