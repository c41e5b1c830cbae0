// A request to stop, for programs that hold a device: instead of dying with the port
// still exclusive and locked, the program notices the request between two bytes,
// releases what it holds and exits. On POSIX the requests are SIGINT, SIGTERM and
// SIGHUP; on Windows the console's Ctrl-C (SIGINT), Ctrl-Break (SIGBREAK) and its
// close, logoff and shutdown events (SIGTERM).
#pragma once

#include <string>

// While an object lives, the requests are recorded instead of ending the program. The
// handler also interrupts a blocking call of the thread that made the object (POSIX:
// the call fails with EINTR; Windows: its synchronous I/O is cancelled), so a wait on a
// pipe cannot outlast the request. One object at a time; make it on the main thread,
// before other threads start.
class TStopSignals {
public:
    TStopSignals();
    ~TStopSignals();  // puts the earlier handlers back and forgets the request
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The first stop signal received, or 0 (also when no object lives).
    static int Received() noexcept;
    // A descriptor that turns readable when a stop signal arrives, for event loops;
    // -1 when no object lives, and always where the platform has no such descriptor
    // (Windows).
    static int NotifierFd() noexcept;
};

// A write to a pipe whose reader has gone fails (EPIPE) instead of ending the
// program, for programs whose output is a courtesy beside their real work. Nothing
// to do where the platform has no such signal (Windows).
void IgnoreBrokenPipe();

// "SIGINT", "SIGTERM", "SIGHUP", "SIGBREAK" where the platform has it, else "signal N".
std::string SignalName(int signal);

// The exit status a shell expects of a program ended by `signal`.
constexpr int ExitStatusFor(int signal) { return 128 + signal; }
