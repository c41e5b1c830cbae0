// A pseudo-terminal given the modem lines a UART has: this program answers the modem-line
// requests on pseudo-terminal slaves itself, so DTR and RTS as the settings hold them and
// the lines the port reads can be seen.
#include "PtyPortTest.h"
#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

std::atomic<int> gLines{0};  // TIOCM_ bits of every pseudo-terminal slave

bool IsPtySlave(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    static const auto real = reinterpret_cast<int (*)(int, unsigned long, ...)>(dlsym(RTLD_NEXT, "ioctl"));
    if (IsPtySlave(fd)) {
        switch (request) {
        case TIOCMGET: *static_cast<int*>(arg) = gLines.load(); return 0;
        case TIOCMBIS: gLines |= *static_cast<int*>(arg); return 0;
        case TIOCMBIC: gLines &= ~*static_cast<int*>(arg); return 0;
        }
    }
    return real(fd, request, arg);
}

using ModemLines = PtyPortTest;

TEST_F(ModemLines, DtrAndRtsAreHeldAsTheSettingsSayAndTheLinesAreRead)
{
    gLines = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS;  // as the last user of the line left them
    port.Open();
    EXPECT_EQ(gLines.load() & (TIOCM_DTR | TIOCM_RTS), 0);  // both disabled unless asked for
    TComFlowControl& flow = port.FlowControl();
    const std::pair<std::function<void()>, int> held[] = {
        {[&] { flow.SetControlDTR(dtrEnable); }, TIOCM_DTR},
        {[&] { flow.SetControlRTS(rtsEnable); }, TIOCM_DTR | TIOCM_RTS},
        {[&] { flow.SetControlDTR(dtrDisable); }, TIOCM_RTS},
        {[&] {
             flow.SetControlRTS(rtsHandshake);
             flow.SetControlDTR(dtrHandshake);
         }, TIOCM_DTR | TIOCM_RTS},
        {[&] {
             flow.SetControlRTS(rtsDisable);
             flow.SetControlDTR(dtrDisable);
         }, 0},
    };
    for (std::size_t i = 0; i < std::size(held); ++i) {
        held[i].first();
        EXPECT_EQ(gLines.load() & (TIOCM_DTR | TIOCM_RTS), held[i].second) << i;
    }
    EXPECT_EQ(port.LineSignals(), TComLineSignals{lsCTS});
    gLines = TIOCM_DSR | TIOCM_CAR | TIOCM_RNG;
    EXPECT_EQ(port.LineSignals(), (TComLineSignals{lsDSR, lsRLSD, lsRing}));
}
