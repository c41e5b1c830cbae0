#include "upload/SharedReadFile.h"

#include "runtime/Exception.h"
#include "runtime/StopSignals.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseErrno(int err)
{
    throw EInOutError::FromErrno(err);
}

// Non-blocking so that a FIFO without a writer cannot hang the open.
int OpenForReading(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        RaiseErrno(errno);
    return fd;
}

// Regular files and pipes only: a folder or a device is no HEX file. True for a pipe.
bool RequireFile(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseErrno(errno);
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        throw EInOutError::Explained(5, NotAFileText());
    return S_ISFIFO(st.st_mode);
}

// A stop signal ends a wait, so a stalled or absent writer cannot hold a program
// that was asked to stop.
bool Interrupted()
{
    return errno == EINTR && TStopSignals::Received() != 0;
}

// A FIFO stays non-blocking: reading one that no writer has opened yet would give
// its end at once, so the reader first waits until there is data or a writer came
// and went. The stop signals' notifier is watched too: a signal that came just
// before the wait began would not interrupt it.
void WaitForPipe(int fd)
{
    pollfd watched[2] = {{fd, POLLIN, 0}, {TStopSignals::NotifierFd(), POLLIN, 0}};
    for (;;) {
        if (::poll(watched, watched[1].fd >= 0 ? 2 : 1, -1) < 0) {
            if (errno != EINTR)
                RaiseErrno(errno);
        } else if (watched[0].revents != 0) {
            return;
        }
        if (TStopSignals::Received() != 0)
            RaiseErrno(EINTR);
    }
}

// Readers share the file; a writer holding it exclusively makes this a sharing violation.
void LockShared(int fd)
{
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
        RaiseErrno(errno);
}

void MakeBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        RaiseErrno(errno);
}

TFileIdentity IdentityFrom(const struct stat& st)
{
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

} // namespace

std::optional<TFileIdentity> IdentityOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return IdentityFrom(st);
}

void TSharedReadFile::Open(const std::string& path)
{
    Adopt(OpenForReading(path), true);
}

// A copy, so that closing the reader leaves the program's standard input alone. Its
// flags are shared with whoever else holds it and stay as they are: a pipe is
// polled before each read anyway.
void TSharedReadFile::OpenStandardInput()
{
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0)
        RaiseErrno(errno);
    Adopt(fd, false);
}

void TSharedReadFile::Adopt(std::intptr_t handle, bool opened)
{
    const int fd = int(handle);
    try {
        pipe_ = RequireFile(fd);
        LockShared(fd);
        if (opened && !pipe_)
            MakeBlocking(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    handle_ = fd;
}

std::optional<TFileIdentity> TSharedReadFile::Identity() const
{
    struct stat st {};
    if (handle_ == -1 || ::fstat(int(handle_), &st) != 0)
        return std::nullopt;
    return IdentityFrom(st);
}

std::size_t TSharedReadFile::Read(char* buffer, std::size_t size)
{
    const int fd = int(handle_);
    for (;;) {
        if (pipe_)
            WaitForPipe(fd);
        if (const ssize_t n = ::read(fd, buffer, size); n >= 0)
            return std::size_t(n);
        if (errno != EAGAIN && (errno != EINTR || Interrupted()))
            RaiseErrno(errno);
    }
}

void TSharedReadFile::Close()
{
    if (handle_ == -1)
        return;
    const int fd = int(handle_);
    handle_ = -1;
    // Linux releases the descriptor (and with it the lock) even when close reports EINTR.
    if (::close(fd) != 0 && errno != EINTR)
        RaiseErrno(errno);
}
