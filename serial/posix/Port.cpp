#include "serial/posix/Port.h"
#include "serial/posix/PendingOp.h"
#include "serial/posix/Termios2.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace comm;

namespace {

// Closes `fd` keeping the errno of the step that failed.
std::shared_ptr<PosixPort> Refuse(int fd, int error)
{
    ::close(fd);
    errno = error;
    return nullptr;
}

} // namespace

PosixPort::PosixPort(int fd, TLineOutput& output) : fd_(fd), output_(output) {}

std::shared_ptr<PosixPort> PosixPort::Open(const std::string& path, TLineOutput& output)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    termios line{};
    if (tcgetattr(fd, &line) != 0)  // not a terminal
        return Refuse(fd, errno);
    // TIOCEXCL keeps other users out but not root; the lock holds for everyone.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return Refuse(fd, errno == EWOULDBLOCK ? EBUSY : errno);
    if (ioctl(fd, TIOCEXCL) != 0)
        return Refuse(fd, errno);
    int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int inputWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (!MakeRawLine(fd) || wake < 0 || inputWake < 0) {
        int error = errno;
        ioctl(fd, TIOCNXCL);
        for (int extra : {wake, inputWake})
            if (extra >= 0)
                ::close(extra);
        return Refuse(fd, error);
    }
    std::shared_ptr<PosixPort> port(new PosixPort(fd, output));
    port->wake_ = wake;
    port->inputWake_ = inputWake;
    port->ProbeDriver();
    return port;
}

PosixPort::~PosixPort()
{
    // The exclusive flag would outlive us on a pseudo-terminal.
    ioctl(fd_, TIOCNXCL);
    output_.Release(fd_);
    ::close(fd_);
    ::close(wake_);
    ::close(inputWake_);
}

void PosixPort::ProbeDriver()
{
    hasOutQueue_ = output_.HasQueue(fd_);
    int lines = 0;
    hasLines_ = ioctl(fd_, TIOCMGET, &lines) == 0;
    modemSeen_ = lines;
    hasCounters_ = ReadCounters(&eventCounters_);
    errorCounters_ = eventCounters_;
}

void PosixPort::Closed()
{
    closed_.store(true, std::memory_order_release);
    std::vector<std::shared_ptr<PendingOp>> pending;
    {
        std::lock_guard lock(stateMutex_);
        pending.swap(pending_);
    }
    for (auto& op : pending)
        op->Cancel(ECANCELED);
}

bool PosixPort::Register(const std::shared_ptr<PendingOp>& op)
{
    std::lock_guard lock(stateMutex_);
    if (IsClosed())
        return false;
    pending_.push_back(op);
    return true;
}

void PosixPort::Forget(const PendingOp* op)
{
    std::lock_guard lock(stateMutex_);
    std::erase_if(pending_, [op](const auto& p) { return p.get() == op; });
}

std::vector<std::shared_ptr<PendingOp>> PosixPort::Pending(OpKind kind)
{
    std::lock_guard lock(stateMutex_);
    std::vector<std::shared_ptr<PendingOp>> found;
    for (const auto& op : pending_)
        if (op->Kind() == kind)
            found.push_back(op);
    return found;
}

bool PosixPort::HasPending(OpKind kind)
{
    std::lock_guard lock(stateMutex_);
    return std::any_of(pending_.begin(), pending_.end(),
                       [kind](const auto& op) { return op->Kind() == kind; });
}

void PosixPort::SetTimeouts(const COMMTIMEOUTS& timeouts)
{
    std::lock_guard lock(stateMutex_);
    timeouts_ = timeouts;
}

COMMTIMEOUTS PosixPort::Timeouts()
{
    std::lock_guard lock(stateMutex_);
    return timeouts_;
}

void PosixPort::SetQueues(DWORD inQueue, DWORD)
{
    // A size the component got from a negative setting arrives huge: keep it sane.
    std::lock_guard lock(stateMutex_);
    inQueue_ = std::clamp<DWORD>(inQueue, 16, 1u << 20);
}

std::chrono::microseconds PosixPort::LineTime(DWORD bytes)
{
    std::lock_guard lock(stateMutex_);
    return std::chrono::microseconds(std::uint64_t{bytes} * frameBits_ * 1000000u / baud_);
}

void DrainWatch::Note(PosixPort& port, DWORD queued)
{
    using std::chrono::microseconds;
    const auto now = Clock::now();
    if (queued == queued_ && now < next_)
        return;
    // The last byte leaves at the end of its line time: a look at that very moment
    // races with it.
    const microseconds slack(1000);
    const microseconds handOver(1000);
    const microseconds step =
        std::clamp(std::max(port.LineTime(1), port.LineTime(queued)) / 2, microseconds(500), microseconds(50000));
    if (queued != queued_) {
        const bool handedOver = queued > queued_;
        queued_ = queued;
        moved_ = now;
        stalls_ = 0;
        if (handedOver) {
            next_ = now + std::min(handOver, step);
            return;
        }
    }
    // The next step after now, counted from the move, so that a late look does not
    // shift the ones after it.
    const auto since = std::max(now - moved_ - slack, Clock::duration::zero());
    next_ = moved_ + slack + step * (since / step + 1);
    // A running line moves the queue within the line time of its bytes and of the one the
    // transmitter may still be sending.
    if (next_ > moved_ + port.LineTime(queued + 1) + slack)
        next_ = now + std::min(step * (1u << std::min(++stalls_, 8u)), microseconds(100000));
}
