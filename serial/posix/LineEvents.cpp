// Line events, modem signals and error counts. Drivers without modem lines or error
// counters (a pseudo-terminal says ENOTTY) report none of them and are never sampled.
#include "serial/posix/Port.h"

#include <cerrno>
#include <cstdint>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace comm;

namespace {

constexpr DWORD InputEvents = kEvRxChar | kEvRxFlag | kEvRx80Full;
constexpr DWORD ModemEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing;
constexpr DWORD ErrorEvents = kEvErr | kEvBreak;
// Modem lines and error counters have no wake-up of their own that poll can wait for;
// while such events are selected they are looked at this often.
constexpr auto SamplePeriod = std::chrono::milliseconds(50);

DWORD ModemEventBits(int changed)
{
    DWORD found = 0;
    if (changed & TIOCM_CTS)
        found |= kEvCts;
    if (changed & TIOCM_DSR)
        found |= kEvDsr;
    if (changed & TIOCM_CAR)
        found |= kEvRlsd;
    if (changed & TIOCM_RNG)
        found |= kEvRing;
    return found;
}

bool LineErrorsGrew(const serial_icounter_struct& now, const serial_icounter_struct& then)
{
    return now.frame != then.frame || now.overrun != then.overrun ||
           now.parity != then.parity || now.buf_overrun != then.buf_overrun;
}

} // namespace

bool PosixPort::ReadCounters(serial_icounter_struct* counters)
{
    return ioctl(fd_, TIOCGICOUNT, counters) == 0;
}

void PosixPort::SetMask(DWORD mask)
{
    std::lock_guard lock(eventMutex_);
    mask_.store(mask);
    // A new mask starts a new history, as the Windows driver does.
    txWatch_.store(false);
    inputSeen_.store(0);
    txDrain_.Reset();
    int lines = 0;
    if (hasLines_ && ioctl(fd_, TIOCMGET, &lines) == 0)
        modemSeen_ = lines;
    if (hasCounters_)
        ReadCounters(&eventCounters_);
}

long PosixPort::CollectEvents(DWORD mask)
{
    long found = 0;
    if (mask & (kEvTxEmpty | InputEvents)) {
        std::uint64_t pokes = 0;
        ssize_t n = ::read(wake_, &pokes, sizeof pokes);  // EAGAIN when not poked
        (void)n;
    }
    if (mask & InputEvents) {
        found |= static_cast<long>(inputSeen_.exchange(0) & mask);
        long input = FillQueue(mask);
        if (input < 0)
            return found ? found : -1;
        found |= input;
    }
    std::lock_guard lock(eventMutex_);
    if ((mask & kEvTxEmpty) && txWatch_.exchange(false)) {
        DWORD queued = 0;
        if (!OutQueue(&queued))
            return found ? found : -1;
        if (queued == 0) {
            found |= kEvTxEmpty;
            txDrain_.Reset();
        } else {
            txWatch_.store(true);
            txDrain_.Note(*this, queued);
        }
    }
    int lines = 0;
    if ((mask & ModemEvents) && hasLines_ && ioctl(fd_, TIOCMGET, &lines) == 0) {
        found |= ModemEventBits(lines ^ modemSeen_);
        modemSeen_ = lines;
    }
    serial_icounter_struct counters{};
    if ((mask & ErrorEvents) && hasCounters_ && ReadCounters(&counters)) {
        if (LineErrorsGrew(counters, eventCounters_))
            found |= kEvErr;
        if (counters.brk != eventCounters_.brk)
            found |= kEvBreak;
        eventCounters_ = counters;
    }
    return found & static_cast<long>(mask);
}

void PosixPort::ArmEvents(PollSet& set, DWORD mask)
{
    short input = 0;
    if (mask & InputEvents) {
        std::lock_guard lock(inputMutex_);
        std::lock_guard state(stateMutex_);
        if (queued_.size() < inQueue_)
            input = POLLIN;
    }
    set.Add(fd_, input, this);  // hang-ups are reported whatever is asked
    if (mask & (kEvTxEmpty | InputEvents)) {
        set.Add(wake_, POLLIN);
        wakeArmed_.store(true);
        if ((mask & InputEvents) && inputSeen_.load())
            set.Until(Clock::now());
    }
    if (mask & kEvTxEmpty) {
        if (txWatch_.load()) {
            std::lock_guard lock(eventMutex_);
            set.Until(txDrain_.Next());
        }
    }
    if (((mask & ModemEvents) && hasLines_) || ((mask & ErrorEvents) && hasCounters_))
        set.Until(Clock::now() + SamplePeriod);
}

DWORD PosixPort::TakeErrors()
{
    serial_icounter_struct counters{};
    std::lock_guard lock(eventMutex_);
    if (!hasCounters_ || !ReadCounters(&counters))
        return 0;
    DWORD errors = 0;
    if (counters.frame != errorCounters_.frame)
        errors |= kCeFrame;
    if (counters.parity != errorCounters_.parity)
        errors |= kCeRxParity;
    if (counters.overrun != errorCounters_.overrun)
        errors |= kCeOverrun;
    if (counters.buf_overrun != errorCounters_.buf_overrun)
        errors |= kCeRxOver;
    if (counters.brk != errorCounters_.brk)
        errors |= kCeBreak;
    errorCounters_ = counters;
    return errors;
}

bool PosixPort::ModemStatus(DWORD* status)
{
    *status = 0;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
        if (errno == ENOTTY || errno == EINVAL)
            return true;  // no modem lines: no signals
        if (errno == EIO)
            MarkHungUp();
        return false;
    }
    if (lines & TIOCM_CTS)
        *status |= kMsCtsOn;
    if (lines & TIOCM_DSR)
        *status |= kMsDsrOn;
    if (lines & TIOCM_RNG)
        *status |= kMsRingOn;
    if (lines & TIOCM_CAR)
        *status |= kMsRlsdOn;
    return true;
}
