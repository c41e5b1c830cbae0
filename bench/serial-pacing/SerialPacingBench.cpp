// bench_serial_pacing: a 600 bit/s upload of 180 one-byte Writes (3 s of line time), as the
// upload makes them, on each modelled transmitter: the plain draining queue, a 16550A whose
// FIFO the driver refills when it runs empty, and a USB adapter (1 ms transfers, 128 bytes
// on the chip). Reports line time used / line time needed (goal <= 1.02 on the two
// hardware shapes), the writing thread's wake-ups and the port's output-queue looks per byte.
#include "DrainingLine.h"
#include "PtyPair.h"
#include "serial/CPort.h"
#include "serial/posix/PosixComDevice.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int Bytes = 180;

long ThreadWakeups()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

bool Upload(const char* name, DrainingLine::Shape shape)
{
    PtyPair pty;
    PtyReader reader(pty.Master(), false);
    DrainingLine line(shape);
    PosixComDevice device(line);
    TComPort port(nullptr, &device);
    port.SetPort(pty.Path());
    port.SetBaudRate(br600);
    port.SetEvents(TComEvents::FromBits(0x5E7));  // as the window has them
    port.SetSyncMethod(smNone);
    port.Open();
    const char byte = 'U';
    const long wakeups = ThreadWakeups();
    const std::size_t looks = line.Looks();
    for (int i = 0; i < Bytes; ++i)
        if (port.Write(&byte, 1) != 1)
            return false;
    const double perByteWakeups = double(ThreadWakeups() - wakeups) / Bytes;
    const double perByteLooks = double(line.Looks() - looks) / Bytes;
    const auto idle = line.Idle();
    port.Close();
    const double needed = Bytes * 10.0 / 600;
    const double used = needed + std::chrono::duration<double>(idle).count();
    std::printf("%-12s line time used/needed %.4f (%.3f s of %.3f s)  wake-ups/byte %.2f  queue looks/byte %.2f\n",
                name, used / needed, used, needed, perByteWakeups, perByteLooks);
    return true;
}

} // namespace

int main()
{
    bool ok = Upload("queue", DrainingLine::Shape::Queue);
    ok = Upload("16550A", DrainingLine::Shape::Uart16550) && ok;
    ok = Upload("USB adapter", DrainingLine::Shape::UsbAdapter) && ok;
    return ok ? 0 : 1;
}
