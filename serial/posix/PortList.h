// The serial ports present on this machine, for a user choosing one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TSerialPortInfo {
    std::string device;                 // /dev/ttyUSB0
    std::string byId;                   // its /dev/serial/by-id/ link, or empty
    std::string usbIds;                 // "0403:6001" for a USB adapter, else empty
    std::string manufacturer, product;  // as the USB adapter names itself
};

// Ports with hardware behind them, as sysfs under `sysRoot` shows them and with a node
// under `devRoot`, sorted by name: no pseudo-terminals or virtual consoles, no built-in
// port that is not fitted, and never the machine's console. Nothing is opened.
std::vector<TSerialPortInfo> ListSerialPorts(const std::filesystem::path& sysRoot = "/sys",
                                             const std::filesystem::path& devRoot = "/dev");

// One line: the device, then its by-id link and the USB ids and names where known.
std::string DescribeSerialPort(const TSerialPortInfo& port);
