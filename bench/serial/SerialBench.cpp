// bench_serial: the cost of one Write of one byte to a pseudo-terminal drained by a reader
// thread, against a plain write(2) loop in the same run; the time a one-byte Write at
// 600 bit/s takes on a line that drains at its rate (the upload's pace), against the
// byte's line time; and the CPU time an open port waiting for line events uses while
// nothing happens.
#include "DrainingLine.h"
#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/posix/PosixComDevice.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

double plainNs = 0;
double portNs = 0;

double PerByteNs(std::chrono::steady_clock::duration elapsed, std::int64_t bytes)
{
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(bytes);
}

void PlainWrite(benchmark::State& state)
{
    PtyPair pty;
    PtyReader reader(pty.Master(), false);
    int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
    termios line{};
    tcgetattr(fd, &line);
    cfmakeraw(&line);
    tcsetattr(fd, TCSANOW, &line);
    char byte = 'U';
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        if (::write(fd, &byte, 1) != 1)
            state.SkipWithError("write failed");
    plainNs = PerByteNs(std::chrono::steady_clock::now() - start, state.iterations());
    ::close(fd);
}

void PortWrite(benchmark::State& state, TComEvents events)
{
    PtyPair pty;
    PtyReader reader(pty.Master(), false);
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents(events);
    port.SetSyncMethod(smNone);
    port.Open();
    char byte = 'U';
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(port.Write(&byte, 1));
    double ns = PerByteNs(std::chrono::steady_clock::now() - start, state.iterations());
    if (events.Empty())
        portNs = ns;
    port.Close();
}

// One-byte Writes at 600 bit/s, as the upload makes them, on a modelled line whose
// queue holds each byte for its line time of 1/60 s.
void UploadPace(benchmark::State& state)
{
    PtyPair pty;
    PtyReader reader(pty.Master(), false);
    DrainingLine line;
    PosixComDevice device(line);
    TComPort port(nullptr, &device);
    port.SetPort(pty.Path());
    port.SetBaudRate(br600);
    port.SetEvents(TComEvents::FromBits(0x5E7));
    port.SetSyncMethod(smNone);
    port.Open();
    char byte = 'U';
    for (auto _ : state)
        benchmark::DoNotOptimize(port.Write(&byte, 1));
    state.counters["line_ms"] = 1000.0 / 60;
    port.Close();
}

double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

// An open port whose event thread waits for the window's events (mask 0x5E7) on a quiet
// line; the main thread sleeps, so all CPU time used is the waiting.
void IdlePort(benchmark::State& state)
{
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents(TComEvents::FromBits(0x03FF & ~((1u << evRxFlag) | (1u << evCTS))));
    port.SetSyncMethod(smNone);
    port.Open();
    if (!port.ThreadCreated())
        state.SkipWithError("no event thread");
    for (auto _ : state) {
        double before = ProcessCpuMs();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.counters["cpu_ms_per_s"] = ProcessCpuMs() - before;
    }
    port.Close();
}

} // namespace

BENCHMARK(PlainWrite)->MinTime(0.5);
BENCHMARK_CAPTURE(PortWrite, no_event_thread, TComEvents{})->MinTime(0.5);
BENCHMARK_CAPTURE(PortWrite, window_events, TComEvents::FromBits(0x03FF))->MinTime(0.5);
BENCHMARK(UploadPace)->Iterations(60)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(IdlePort)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (plainNs > 0 && portNs > 0)
        std::printf("one-byte Write: %.0f ns, plain write(2): %.0f ns, ratio %.2f (target <= 3)\n",
                    portNs, plainNs, portNs / plainNs);
    return 0;
}
