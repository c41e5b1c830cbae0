#include "tools/vorn-unit/PtyPair.h"

#include <fcntl.h>
#include <unistd.h>
#include <poll.h>
#include <pty.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <system_error>

namespace {

[[noreturn]] void ThrowErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void SetFlags(int fd, bool nonBlocking)
{
    if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0)
        ThrowErrno("fcntl");
    const int flags = ::fcntl(fd, F_GETFL);
    if (nonBlocking && (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0))
        ThrowErrno("fcntl");
}

}  // namespace

PtyPair::PtyPair()
{
    int master = -1;
    int slave = -1;
    char name[PATH_MAX] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        ThrowErrno("cannot create a pseudo-terminal");
    master_.Reset(master);
    slave_.Reset(slave);
    slavePath_ = name;
    SetFlags(master, true);
    SetFlags(slave, false);
}

void PtyPair::Hold()
{
    if (slave_.IsOpen())
        return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        slave_.Reset(::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (slave_.IsOpen())
            return;
        if (errno != EBUSY)
            ThrowErrno("cannot reopen " + slavePath_);
        // Busy with no hang-up: a transmitter opened it exclusively just now.
        if (!MasterHungUp())
            return;
        // Busy and hung up may also be a transmitter that closed in between: try once more.
    }
    throw std::runtime_error(slavePath_ + " stays exclusive after its last close (a program ended without "
                             "TIOCNXCL); only root can open it now, so start vorn-unit again");
}

bool PtyPair::MasterHungUp() const
{
    pollfd p{Master(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}
