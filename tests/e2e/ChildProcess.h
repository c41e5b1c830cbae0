// A program started by a test, its standard output (and error, when asked) on a
// pipe the test reads. Every wait has a deadline; the destructor kills and reaps.
// It inherits the test's environment: `/usr/bin/env` in front changes it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

using namespace std::chrono_literals;

class ChildProcess {
public:
    // `stdinFd`, `stderrFd`: descriptors the program gets as its standard input and
    // error instead of the test's (and, for standard error, of the output pipe).
    explicit ChildProcess(std::vector<std::string> argv, bool withStderr = false, int stdinFd = -1,
                          int stderrFd = -1)
    {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe2");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        if (withStderr || stderrFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stderrFd >= 0 ? stderrFd : pipeFds[1], STDERR_FILENO);
        if (stdinFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);  // a test's pseudo-terminals among them
        std::vector<char*> args;
        for (auto& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        const int error = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        if (error != 0)
            throw std::system_error(error, std::generic_category(), "cannot start " + argv[0]);
        pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));  // glibc's wrapper lacks extern "C" here
    }
    ~ChildProcess()
    {
        if (!status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(pidFd_);
        ::close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // The output up to and including the first `through` (empty: up to its end), or
    // what came before the time ran out.
    std::string Read(std::string_view through, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::size_t end = std::string::npos;
        for (pollfd p{out_, POLLIN, 0}; through.empty() || (end = buffer_.find(through)) == std::string::npos;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            char chunk[4096];
            const bool ready = ::poll(&p, 1, int(std::max<long>(left.count(), 0))) > 0;
            const ssize_t n = ready ? ::read(out_, chunk, sizeof chunk) : 0;
            if (n <= 0)
                break;
            buffer_.append(chunk, std::size_t(n));
        }
        std::string text = buffer_.substr(0, end == std::string::npos ? end : end + through.size());
        buffer_.erase(0, text.size());
        return text;
    }
    void Signal(int signal) { if (!status_) ::kill(pid_, signal); }
    // The exit code, 128 + the signal for a killed program, or nullopt when it has not ended in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout)
    {
        pollfd p{pidFd_, POLLIN, 0};
        int status = 0;
        if (!status_ && ::poll(&p, 1, int(timeout.count())) == 1 && ::waitpid(pid_, &status, 0) == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }
    pid_t Pid() const noexcept { return pid_; }

private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

// Runs a program to its end: its exit code (as Wait), its output in `output` when given.
inline std::optional<int> RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                     std::string* output = nullptr, bool withStderr = false)
{
    ChildProcess child(argv, withStderr);
    std::string text = child.Read({}, timeout);
    if (output)
        *output = std::move(text);
    return child.Wait(1s);  // its output has ended, or the time is up
}
