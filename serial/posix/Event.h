// A Windows-style event: manual or auto reset, waited on through an eventfd that is made
// only when a wait has to block. It carries the pending operation started on it.
#pragma once

#include "serial/posix/Handles.h"
#include "serial/posix/PollSet.h"

#include <memory>
#include <mutex>

class PendingOp;

class PosixEvent : public PosixObject {
public:
    PosixEvent(bool manualReset, bool initialState);
    ~PosixEvent() override;
    void Closed() override;  // orphans a pending operation

    void Set();
    void Reset();
    // Resets the event and makes `op` the operation that waits on it complete.
    void Attach(std::shared_ptr<PendingOp> op);
    // Sets the event and drops `op` when it is the attached one.
    void Finish(const PendingOp* op);
    std::shared_ptr<PendingOp> Op();

    // Moves the attached operation on; true when the event is set (an auto-reset event
    // is taken by this).
    bool Check();
    // Adds the event's descriptor and its operation's needs; false with errno when no
    // eventfd can be made.
    bool Arm(PollSet& set);

private:
    void Signal(bool set);  // under mutex_
    bool Take();            // under mutex_

    std::mutex mutex_;
    bool manual_;
    bool set_;
    int fd_ = -1;
    std::shared_ptr<PendingOp> op_;
};
