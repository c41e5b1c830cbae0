#include "PtyPair.h"

#include "serial/posix/Termios2.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error Failure(const char* what)
{
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw Failure("openpty");
    path_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    ReleaseSlave();
    CloseMaster();
}

void PtyPair::ReleaseSlave()
{
    if (slave_ >= 0)
        ::close(std::exchange(slave_, -1));
}

void PtyPair::CloseMaster()
{
    if (master_ >= 0)
        ::close(std::exchange(master_, -1));
}

void PtyPair::Send(std::string_view bytes) const
{
    while (!bytes.empty()) {
        ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0 && errno == EAGAIN) {
            pollfd out{master_, POLLOUT, 0};
            ::poll(&out, 1, 1000);
            continue;
        }
        if (n < 0)
            throw Failure("write to pty master");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string PtyPair::Receive(std::size_t count, std::chrono::milliseconds within) const
{
    const auto deadline = Clock::now() + within;
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < count) {
        ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n > 0) {
            bytes.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN)
            break;  // EIO: the slave is closed and everything has been read
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd in{master_, POLLIN, 0};
        if (::poll(&in, 1, static_cast<int>(std::max<long>(left, 0))) <= 0)
            break;
    }
    return bytes;
}

PtyLine PtyPair::Line() const
{
    PtyLine line;
    LineState exact;
    if (tcgetattr(master_, &line.Attributes) != 0 || !ReadLineState(master_, &exact))
        throw Failure("reading the slave's termios");
    line.InputSpeed = exact.InputSpeed;
    line.OutputSpeed = exact.OutputSpeed;
    return line;
}

bool PortIsExclusive(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            return true;
        throw Failure("open");
    }
    int exclusive = 0;
    const int result = ::ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
    if (result != 0)
        throw Failure("TIOCGEXCL");
    return exclusive != 0;
}

PtyReader::PtyReader(int master, bool keep)
    : master_(master), keep_(keep), stop_(eventfd(0, EFD_CLOEXEC))
{
    if (stop_ < 0)
        throw Failure("eventfd");
    thread_ = std::thread([this] { Run(); });
}

PtyReader::~PtyReader()
{
    Stop();
    ::close(stop_);
}

void PtyReader::Stop()
{
    if (!thread_.joinable())
        return;
    if (eventfd_write(stop_, 1) != 0)
        std::terminate();
    thread_.join();
}

bool PtyReader::WaitFor(std::size_t count, std::chrono::milliseconds within) const
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, within, [&] { return total_.load() >= count; });
}

std::string PtyReader::Bytes() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

void PtyReader::Run()
{
    char chunk[4096];
    bool open = true;
    while (open) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stop_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) {
            // EIO once the slave's last close has been read past; wait for stop only.
            open = n < 0 && errno == EAGAIN;
            continue;
        }
        std::lock_guard lock(mutex_);
        if (keep_)
            bytes_.append(chunk, static_cast<std::size_t>(n));
        total_ += static_cast<std::size_t>(n);
        arrived_.notify_all();
    }
    pollfd stop{stop_, POLLIN, 0};
    ::poll(&stop, 1, -1);
}
