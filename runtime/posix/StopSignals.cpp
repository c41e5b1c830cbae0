// Stop signals through sigaction, with a self-pipe for event loops.
#include "runtime/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Touched by the handler: lock-free atomics and plain descriptors only.
std::atomic<int> gReceived{0};
std::atomic<int> gNotifyRead{-1};
std::atomic<int> gNotifyWrite{-1};
std::atomic<pid_t> gOwnerThread{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free);

struct sigaction gPrevious[std::size(kStopSignals)];

void OnStopSignal(int signal)
{
    const int savedErrno = errno;
    int none = 0;
    gReceived.compare_exchange_strong(none, signal);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gNotifyWrite.load(), &byte, 1);  // a full pipe is awake already
    // Another thread took the signal: pass it on, so that the owner's blocking call
    // ends too. There it only finds the request recorded.
    const pid_t owner = gOwnerThread.load();
    if (owner != 0 && ::gettid() != owner)
        ::tgkill(::getpid(), owner, signal);
    errno = savedErrno;
}

} // namespace

TStopSignals::TStopSignals()
{
    int fds[2];
    if (gNotifyRead.load() >= 0)
        throw std::logic_error("TStopSignals: one object at a time");
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("TStopSignals: no pipe");
    gReceived = 0;
    gNotifyRead = fds[0];
    gNotifyWrite = fds[1];
    gOwnerThread = ::gettid();
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call of the owner must return with EINTR.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &gPrevious[i]);
}

TStopSignals::~TStopSignals()
{
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &gPrevious[i], nullptr);
    gOwnerThread = 0;
    ::close(gNotifyWrite.exchange(-1));
    ::close(gNotifyRead.exchange(-1));
    gReceived = 0;
}

int TStopSignals::Received() noexcept
{
    return gReceived.load();
}

int TStopSignals::NotifierFd() noexcept
{
    return gNotifyRead.load();
}

void IgnoreBrokenPipe()
{
    ::signal(SIGPIPE, SIG_IGN);
}
