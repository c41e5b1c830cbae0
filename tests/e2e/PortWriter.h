// The transmitter's side of the unit's port, as a test drives it: opened the way
// the serial component opens it (TIOCEXCL and flock), raw, at the given framing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class PortWriter {
public:
    // 600 bit/s, 8 data bits, no parity, one or two stop bits.
    explicit PortWriter(const std::string& path, bool twoStopBits = false);
    ~PortWriter();  // releases the exclusive mode and closes
    PortWriter(const PortWriter&) = delete;
    PortWriter& operator=(const PortWriter&) = delete;

    // A rate without a Bxxx constant, through termios2.
    void SetCustomRate(std::uint32_t bitsPerSecond);
    // Writes every byte (blocking) or fails the test.
    void Write(std::string_view bytes);

private:
    int fd_ = -1;
};
