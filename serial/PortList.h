// The serial ports present on this machine, for a user choosing one.
#pragma once

#include <string>
#include <vector>

struct TSerialPortInfo {
    std::string device;                 // /dev/ttyUSB0, or COM3 on Windows
    std::string byId;                   // its /dev/serial/by-id/ link, or empty
    std::string usbIds;                 // "0403:6001" for a USB adapter, else empty
    std::string manufacturer, product;  // as the USB adapter names itself
};

// The ports with hardware behind them, sorted by name; nothing is opened. On Linux as
// sysfs shows them: no pseudo-terminals or virtual consoles, no built-in port that is
// not fitted, and never the machine's console. On Windows as the system lists them.
std::vector<TSerialPortInfo> ListSerialPorts();

// One line: the device, then its by-id link and the USB ids and names where known.
std::string DescribeSerialPort(const TSerialPortInfo& port);
