#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

std::vector<std::string> ChangedEnvironment(const EnvChanges& changes)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!changes.contains(entry.substr(0, entry.find('='))))
            env.push_back(entry);
    }
    for (const auto& [name, value] : changes)
        if (value)
            env.push_back(name + "=" + *value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (auto& t : texts)
        pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const EnvChanges& env)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        ThrowErrno("pipe2");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> args = argv;
    std::vector<std::string> envTexts = ChangedEnvironment(env);
    const int error = ::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                                    Pointers(envTexts).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    if (error != 0) {
        ::close(out_);
        throw std::system_error(error, std::generic_category(), "cannot start " + args[0]);
    }
    // The header of this glibc lacks extern "C" for pidfd_open.
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidFd_ < 0)
        ThrowErrno("pidfd_open");
}

ChildProcess::~ChildProcess()
{
    if (!status_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(pidFd_);
    ::close(out_);
}

bool ChildProcess::Fill(Clock::time_point deadline)
{
    if (outputEnded_)
        return false;
    pollfd p{out_, POLLIN, 0};
    const int ready = ::poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno != EINTR)
        ThrowErrno("poll");
    if (ready <= 0)
        return false;
    char chunk[4096];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) {
        outputEnded_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        if (!Fill(deadline) && (outputEnded_ || Clock::now() >= deadline))
            return std::nullopt;
    }
}

std::string ChildProcess::ReadThrough(std::string_view last, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::string text;
    while (auto line = ReadLine(std::chrono::milliseconds(RemainingMs(deadline)))) {
        text += *line + "\n";
        if (*line == last)
            break;
    }
    return text;
}

std::string ChildProcess::ReadAll(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!outputEnded_ && Clock::now() < deadline)
        Fill(deadline);
    return std::exchange(buffer_, std::string());
}

void ChildProcess::Signal(int signal)
{
    if (!status_)
        ::kill(pid_, signal);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout)
{
    if (status_)
        return status_;
    pollfd p{pidFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1)
        return std::nullopt;
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_)
        ThrowErrno("waitpid");
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

std::optional<int> RunProgram(const std::vector<std::string>& argv, const EnvChanges& env,
                              std::chrono::milliseconds timeout, std::string* output)
{
    const auto deadline = Clock::now() + timeout;
    ChildProcess child(argv, env);
    std::string text = child.ReadAll(timeout);
    if (output)
        *output = std::move(text);
    return child.Wait(std::chrono::milliseconds(RemainingMs(deadline)));
}
