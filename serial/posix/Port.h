// One open terminal device: its descriptor, settings, the layer's input queue, line-event
// state and the operations pending on it.
#pragma once

#include "serial/ComDevice.h"
#include "serial/posix/Handles.h"
#include "serial/posix/LineOutput.h"
#include "serial/posix/PollSet.h"

#include <atomic>
#include <chrono>
#include <linux/serial.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

class PendingOp;
class PosixPort;
enum class OpKind;

// When to look at an output queue next while it drains. Bytes just handed over are looked
// at soon (a USB adapter's driver holds a transfer about a millisecond); then every half
// line time of what is queued, at most 50 ms apart, so that a transmitter with a buffer of
// its own is fed before it runs dry. Only once the queue stays put for longer than a
// running line allows (flow control holding it) do the looks grow ever rarer. Looks in
// between, such as those other wake-ups bring, must not stretch the wait.
class DrainWatch {
public:
    void Note(PosixPort& port, comm::DWORD queued);
    void Reset() { *this = {}; }
    Clock::time_point Next() const { return next_; }

private:
    comm::DWORD queued_ = 0;
    unsigned stalls_ = 0;  // due looks since the queue should have moved
    Clock::time_point moved_;
    Clock::time_point next_;
};

class PosixPort : public PosixObject {
public:
    // Opens `path` exclusively in raw mode, its writes going through `output`;
    // nullptr with errno on failure.
    static std::shared_ptr<PosixPort> Open(const std::string& path, TLineOutput& output);
    ~PosixPort() override;
    void Closed() override;  // ends every pending operation

    int Fd() const { return fd_; }
    bool HungUp() const { return hungUp_.load(std::memory_order_acquire); }
    void MarkHungUp() { hungUp_.store(true, std::memory_order_release); }
    bool IsClosed() const { return closed_.load(std::memory_order_acquire); }

    // Settings (LineSettings.cpp). False with errno on failure.
    bool SetState(const comm::DCB& dcb);
    void SetTimeouts(const comm::COMMTIMEOUTS& timeouts);
    comm::COMMTIMEOUTS Timeouts();
    void SetQueues(comm::DWORD inQueue, comm::DWORD outQueue);
    // How long `bytes` take on the line at the present speed and framing.
    std::chrono::microseconds LineTime(comm::DWORD bytes);

    // Pending operations.
    bool Register(const std::shared_ptr<PendingOp>& op);  // false once closed
    void Forget(const PendingOp* op);
    std::vector<std::shared_ptr<PendingOp>> Pending(OpKind kind);
    bool HasPending(OpKind kind);

    // Output (Output.cpp).
    // write(2) with hang-up turned into EIO: bytes taken, or -1 with errno (EAGAIN: full).
    long WriteSome(const char* data, comm::DWORD count);
    // Bytes still in the output queue; false with errno (a device without one reads 0).
    bool OutQueue(comm::DWORD* bytes);
    // Drops what the output queue holds, only when it holds something: on a
    // pseudo-terminal TIOCOUTQ reads 0 and a flush would take bytes the peer has not read.
    bool DropOutput();

    // Input (Input.cpp).
    // Takes up to `count` bytes, first from the layer's queue: the count, or -1 with errno
    // (EAGAIN: nothing there; EIO: hung up).
    long ReadSome(char* buffer, comm::DWORD count);
    bool InQueue(comm::DWORD* bytes);
    bool DropInput();
    // Readable after a line-event wait took arrived bytes into the layer's queue while a
    // read was pending: the device descriptor no longer shows them to that read.
    int InputWake() const { return inputWake_; }
    void DrainInputWake();

    // Line events (LineEvents.cpp).
    void SetMask(comm::DWORD mask);
    comm::DWORD Mask() const { return mask_.load(std::memory_order_acquire); }
    // The selected events that have occurred since the last report; -1 with errno on a
    // device failure.
    long CollectEvents(comm::DWORD mask);
    void ArmEvents(PollSet& set, comm::DWORD mask);
    // Errors gathered since the last call, as CE_ bits (ClearCommError).
    comm::DWORD TakeErrors();
    // MS_ bits; a device without modem lines reports none.
    bool ModemStatus(comm::DWORD* status);

private:
    PosixPort(int fd, TLineOutput& output);
    void ProbeDriver();
    void NoteOutput();
    void NoteInput(const char* bytes, std::size_t count);
    void Poke();
    long FillQueue(comm::DWORD mask);  // reads input into the layer's queue; event bits
    ssize_t ReadInput(char* buffer, std::size_t count);
    bool ReadCounters(serial_icounter_struct* counters);

    int fd_;
    TLineOutput& output_;
    int wake_ = -1;  // eventfd: output started or input read while a line-event wait runs
    int inputWake_ = -1;
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> closed_{false};
    bool hasLines_ = false;
    bool hasCounters_ = false;
    bool hasOutQueue_ = true;  // false on a pseudo-terminal, whose TIOCOUTQ always reads 0

    std::mutex stateMutex_;  // settings, time-outs, queue size, pending list
    comm::COMMTIMEOUTS timeouts_{};
    comm::DWORD baud_ = 9600;
    comm::DWORD frameBits_ = 10;
    comm::DWORD inQueue_ = 4096;
    char eventChar_ = 0;
    std::atomic<bool> discardNull_{false};
    std::vector<std::shared_ptr<PendingOp>> pending_;

    std::mutex inputMutex_;  // the layer's input queue and reads from the descriptor
    std::string queued_;

    std::mutex eventMutex_;  // line-event history
    std::atomic<comm::DWORD> mask_{0};
    std::atomic<bool> txWatch_{false};  // bytes handed over since the last tx-empty
    std::atomic<bool> wakeArmed_{false};
    std::atomic<comm::DWORD> inputSeen_{0};  // events of bytes a read took past the layer's queue
    DrainWatch txDrain_;
    int modemSeen_ = 0;
    serial_icounter_struct eventCounters_{};
    serial_icounter_struct errorCounters_{};
};
