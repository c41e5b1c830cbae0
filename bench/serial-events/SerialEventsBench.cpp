// What the event thread of an open port costs.
//
//  1. Idle: the window's eight events, no traffic. CPU time of the process (the main
//     thread sleeps, so this is the event thread) per second of wall time.
//  2. Upload-like: 10,000 single-byte Writes on a pseudo-terminal whose other end is
//     drained. Event-thread wake-ups per byte and total CPU time, with the window's
//     events and with Events empty (no thread).
#include "serial/CPort.h"

#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

using namespace comm;

namespace {

// Forwards every call to the real device and counts the event thread's wake-ups.
class CountingDevice : public TComDevice {
public:
    explicit CountingDevice(TComDevice& real) : real_(real) {}
    std::atomic<long> wakeups{0};

    THandle OpenPort(const std::string& n) override { return real_.OpenPort(n); }
    bool CloseHandle(THandle h) override { return real_.CloseHandle(h); }
    DWORD GetLastError() override { return real_.GetLastError(); }
    bool SetupComm(THandle d, DWORD i, DWORD o) override { return real_.SetupComm(d, i, o); }
    bool SetCommState(THandle d, const DCB& dcb) override { return real_.SetCommState(d, dcb); }
    bool SetCommTimeouts(THandle d, const COMMTIMEOUTS& t) override { return real_.SetCommTimeouts(d, t); }
    bool WriteFile(THandle d, const void* b, DWORD c, DWORD* n, OVERLAPPED* o) override
    {
        return real_.WriteFile(d, b, c, n, o);
    }
    bool ReadFile(THandle d, void* b, DWORD c, DWORD* n, OVERLAPPED* o) override
    {
        return real_.ReadFile(d, b, c, n, o);
    }
    bool GetOverlappedResult(THandle d, OVERLAPPED* o, DWORD* n, bool w) override
    {
        return real_.GetOverlappedResult(d, o, n, w);
    }
    bool SetCommMask(THandle d, DWORD m) override { return real_.SetCommMask(d, m); }
    bool WaitCommEvent(THandle d, DWORD* m, OVERLAPPED* o) override { return real_.WaitCommEvent(d, m, o); }
    bool ClearCommError(THandle d, DWORD* e, COMSTAT* s) override { return real_.ClearCommError(d, e, s); }
    bool GetCommModemStatus(THandle d, DWORD* s) override { return real_.GetCommModemStatus(d, s); }
    bool PurgeComm(THandle d, DWORD f) override { return real_.PurgeComm(d, f); }
    THandle NewEvent(bool m, bool i) override { return real_.NewEvent(m, i); }
    bool SetEvent(THandle e) override { return real_.SetEvent(e); }
    bool ResetEvent(THandle e) override { return real_.ResetEvent(e); }
    DWORD WaitForSingleObject(THandle e, DWORD ms) override { return real_.WaitForSingleObject(e, ms); }
    DWORD WaitForMultipleObjects(DWORD c, const THandle* e, bool all, DWORD ms) override
    {
        const DWORD r = real_.WaitForMultipleObjects(c, e, all, ms);
        ++wakeups;  // only the event thread waits on several events
        return r;
    }

private:
    TComDevice& real_;
};

// A pseudo-terminal whose master is drained by a thread of its own.
class DrainedPty {
public:
    DrainedPty()
    {
        char name[256];
        int slave = -1;
        if (openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        path_ = name;
        slave_ = slave;
        drain_ = std::thread([this] {
            char buffer[4096];
            for (;;) {
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n <= 0)
                    return;  // EIO once the master is shut
                drained += n;
            }
        });
    }
    ~DrainedPty()
    {
        close(slave_);
        // Closing the last slave makes the master's read fail with EIO.
        drain_.join();
        close(master_);
    }
    const std::string& Path() const { return path_; }
    std::atomic<long> drained{0};

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::thread drain_;
};

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

const TComEvents kWindowEvents{evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full};

void Configure(TComPort& port, const std::string& path, TComEvents events)
{
    port.SetPort(path);
    port.SetEvents(events);
    port.SetSyncMethod(smNone);
    port.SetBaudRate(br600);
}

void Idle(double seconds)
{
    DrainedPty pty;
    CountingDevice device(SystemComDevice());
    TComPort port(nullptr, &device);
    Configure(port, pty.Path(), kWindowEvents);
    port.Open();
    const double cpu0 = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = ProcessCpuSeconds() - cpu0;
    port.Close();
    std::printf("idle, window events: %.3f ms CPU per s of wall time, %ld wake-ups in %.1f s\n",
                cpu * 1000.0 / seconds, device.wakeups.load(), seconds);
}

void Upload(const char* label, TComEvents events, int bytes)
{
    DrainedPty pty;
    CountingDevice device(SystemComDevice());
    TComPort port(nullptr, &device);
    Configure(port, pty.Path(), events);
    port.Open();
    const long wakeups0 = device.wakeups.load();
    const double cpu0 = ProcessCpuSeconds();
    const double mainCpu0 = ThreadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (int i = 0; i < bytes; ++i) {
        const char byte = static_cast<char>(i);
        port.Write(&byte, 1);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double mainCpu = ThreadCpuSeconds() - mainCpu0;
    const double cpu = ProcessCpuSeconds() - cpu0;
    const long wakeups = device.wakeups.load() - wakeups0;
    port.Close();
    std::printf("%-22s %d Writes: %.3f wake-ups/byte, CPU %.1f ms total (writer %.1f ms, "
                "%.2f us/byte), wall %.1f ms\n",
                label, bytes, static_cast<double>(wakeups) / bytes, cpu * 1000.0, mainCpu * 1000.0,
                cpu * 1e6 / bytes, wall * 1000.0);
}

} // namespace

int main(int argc, char** argv)
{
    const double idleSeconds = argc > 1 ? std::stod(argv[1]) : 2.0;
    const int bytes = argc > 2 ? std::stoi(argv[2]) : 10000;
    Idle(idleSeconds);
    Upload("window events:", kWindowEvents, bytes);
    Upload("Events empty:", TComEvents{}, bytes);
    return 0;
}
