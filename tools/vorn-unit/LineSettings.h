// Speed and framing of the line as the unit's end of the pseudo-terminal sees them.
#pragma once

#include <cstdint>
#include <string>

enum class UnitStopBits : std::uint8_t { One, OneAndHalf, Two };

struct LineSettings {
    std::uint32_t speed = 0;  // bit/s
    int dataBits = 8;         // 5 to 8
    char parity = 'N';        // N, O, E, M (mark) or S (space)
    UnitStopBits stopBits = UnitStopBits::One;

    bool operator==(const LineSettings&) const = default;
};

// From a termios c_cflag and the output speed in bit/s.
LineSettings DecodeLineSettings(std::uint32_t cflag, std::uint32_t speed);

// The settings the slave side was given, read through the master (termios2, so
// rates without a Bxxx constant come out exactly). Throws std::system_error.
LineSettings ReadLineSettings(int masterFd);

// For example "600 bit/s, 8 data bits, no parity, 1 stop bit".
std::string DescribeLineSettings(const LineSettings& settings);
