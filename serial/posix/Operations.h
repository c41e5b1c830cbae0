// The three kinds of pending operation, started by PosixComDevice; each is made in the
// source of its name (WriteOp.cpp, ReadOp.cpp, WaitOp.cpp).
#pragma once

#include "serial/posix/PendingOp.h"

std::shared_ptr<PendingOp> MakeWriteOp(std::shared_ptr<PosixPort> port, comm::OVERLAPPED* overlapped,
                                       std::shared_ptr<PosixEvent> event, const void* data,
                                       comm::DWORD count);
std::shared_ptr<PendingOp> MakeReadOp(std::shared_ptr<PosixPort> port, comm::OVERLAPPED* overlapped,
                                      std::shared_ptr<PosixEvent> event, void* data, comm::DWORD count);
// Completes with the events found written to *mask; SetCommMask ends it with mask 0.
std::shared_ptr<PendingOp> MakeWaitOp(std::shared_ptr<PosixPort> port, comm::OVERLAPPED* overlapped,
                                      std::shared_ptr<PosixEvent> event, comm::DWORD* mask);
