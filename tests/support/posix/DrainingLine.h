// A transmitter in front of a pseudo-terminal, for tests of when a write completes: the
// device layer's writes wait in this line's queue, pass on to the transmitter's buffer and
// go out to the terminal one byte a line time (10 bits, or 11 with two stop bits, at the
// terminal's speed). Bytes move when the line is next asked about, at the times they would
// have moved, so no thread of its own is needed.
//
// Three shapes of hardware:
// - Queue: every byte stays queued until it is on the line (the plain model);
// - Uart16550: a 16-byte FIFO the driver refills only when it runs empty; the queue counts
//   the driver's bytes, not the FIFO's;
// - UsbAdapter: the driver hands its bytes over in transfers of up to 64 bytes that take
//   1 ms each and are counted in the queue meanwhile; the chip buffers 128 bytes.
// A purge drops what the queue counts; what a transmitter holds goes out, on close at once.
#pragma once

#include "serial/posix/LineOutput.h"
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>

class DrainingLine final : public TLineOutput {
public:
    enum class Shape { Queue, Uart16550, UsbAdapter };
    explicit DrainingLine(Shape shape = Shape::Queue);

    bool HasQueue(int) override { return true; }
    long Write(int fd, const char* data, std::size_t count) override;
    bool Queued(int fd, int* bytes) override;
    bool Drop(int fd) override;
    void Release(int fd) override;

    // Holds the transmitter as flow control would (nothing goes on the line), or lets it go.
    void Hold(bool held);
    // Bytes dropped from the queue, by a purge or with the descriptor's close.
    std::size_t Dropped() const;
    // How often the queue was asked about.
    std::size_t Looks() const;
    // How long the line stood idle between one byte and the next while bytes were taken.
    std::chrono::steady_clock::duration Idle() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Hardware {
        std::size_t buffer;        // bytes the transmitter holds, the one on the line included
        bool refillWhenEmpty;      // the driver fills the buffer only once it ran empty
        Clock::duration transfer;  // how long a hand-over to the transmitter takes
        std::size_t transferMax;
        bool countsBuffer;         // the queue counts the transmitter's bytes
    };
    struct Line {
        std::deque<char> queue;  // the driver's
        std::string transfer;    // on its way to the transmitter
        Clock::time_point transferDone;
        std::deque<char> buffer;  // the transmitter's; the front byte is on the line
        Clock::time_point frontOut;  // when the front byte has been sent
        Clock::time_point lastOut;   // when the line last fell quiet
        Clock::time_point at;        // the time the model has reached
        Clock::duration byteTime{};
    };
    Line& Settled(int fd);  // under mutex_: every move whose time has come, made
    std::size_t Counted(const Line& line) const;

    const Hardware hardware_;
    mutable std::mutex mutex_;
    std::map<int, Line> lines_;
    bool held_ = false;
    std::size_t dropped_ = 0;
    std::size_t looks_ = 0;
    Clock::duration idle_{};
};
