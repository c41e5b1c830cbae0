// vorn-unit: a simulated signal processor unit on a pseudo-terminal, so the
// transmitter can be tried without hardware. Its first line names the port:
//   COM1_DEVICE=/dev/pts/N
#include "tools/vorn-unit/PtyPair.h"
#include "tools/vorn-unit/SimulatedUnit.h"
#include "tools/vorn-unit/UploadFile.h"

#include <signal.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

namespace {

constexpr const char* Usage =
    "usage: vorn-unit [-o FILE] | --help | --version\n"
    "  Simulates the unit on a pseudo-terminal and prints COM1_DEVICE=<port> first.\n"
    "  Reports the line settings and a summary of every upload until interrupted.\n"
    "  -o FILE  after each upload FILE holds that upload's bytes (each upload replaces the last)\n";

// The signals arrive through a descriptor, so poll sees them with everything else.
int BlockedSignalFd()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    const int fd = signalfd(-1, &set, SFD_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "signalfd");
    return fd;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc && output.empty()) {
            output = argv[++i];
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            std::cout << (arg == "--version" ? "vorn-unit " VORN_VERSION "\n" : Usage);
            return 0;
        } else {
            std::cerr << Usage;
            return 2;
        }
    }
    try {
        const TFd signals(BlockedSignalFd());
        std::unique_ptr<UploadFile> file;
        if (!output.empty())
            file = std::make_unique<UploadFile>(output);
        PtyPair pty;
        std::cout << "COM1_DEVICE=" << pty.SlavePath() << std::endl;
        std::cerr << "vorn-unit: simulated unit on " << pty.SlavePath() << "; interrupt (Ctrl+C) to stop\n";
        SimulatedUnit unit(pty, signals.Get(), std::cout, std::move(file));
        unit.Run();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "vorn-unit: " << e.what() << "\n";
        return 1;
    }
}
