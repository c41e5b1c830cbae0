// A program started by a test, its standard output (and error, when asked) on a
// pipe the test reads. Every wait has a deadline; the destructor kills and reaps.
// It inherits the test's environment: `/usr/bin/env` in front changes it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace std::chrono_literals;

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> argv, bool withStderr = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The output up to and including the first `through` (empty: up to its end), or
    // what came before the time ran out.
    std::string Read(std::string_view through, std::chrono::milliseconds timeout);
    void Signal(int signal);
    // The exit code, 128 + the signal for a killed program, or nullopt when it has not ended in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    pid_t Pid() const noexcept { return pid_; }

private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

// Runs a program to its end: its exit code (as Wait), its output in `output` when given.
std::optional<int> RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                              std::string* output = nullptr, bool withStderr = false);
