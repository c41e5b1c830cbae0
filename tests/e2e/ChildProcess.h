// A program started by a test, with its standard output on a pipe the test
// reads line by line. Every wait has a deadline; the destructor kills and reaps.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace std::chrono_literals;

// Environment changes for a child: a value sets the variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, const EnvChanges& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output without its line end; nullopt when the
    // output ends or the time runs out first.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Lines up to and including `last`, each with its line end; stops early (and
    // the caller's check fails) when the output ends or the time runs out.
    std::string ReadThrough(std::string_view last, std::chrono::milliseconds timeout);
    // Everything up to the end of the output.
    std::string ReadAll(std::chrono::milliseconds timeout);

    pid_t Pid() const noexcept { return pid_; }
    void Signal(int signal);
    // The exit code, 128 + the signal for a killed program, or nullopt when it
    // has not ended in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool outputEnded_ = false;
    std::optional<int> status_;
};

// Runs a program to its end and returns its exit code (as Wait), killing it when
// the time runs out; its standard output goes to `output` when given.
std::optional<int> RunProgram(const std::vector<std::string>& argv, const EnvChanges& env,
                              std::chrono::milliseconds timeout, std::string* output = nullptr);
