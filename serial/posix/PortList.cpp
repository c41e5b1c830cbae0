#include "serial/posix/PortList.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, or empty when there is none.
std::string Attribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The consoles the kernel writes to ("tty0 ttyS0"), and any port that says it is one.
bool IsConsole(const fs::path& sysRoot, const std::string& name)
{
    std::istringstream active(Attribute(sysRoot / "class/tty/console/active"));
    for (std::string console; active >> console;)
        if (console == name)
            return true;
    return Attribute(sysRoot / "class/tty" / name / "console") == "Y";
}

// A built-in UART that is not fitted still has its node and sysfs entry; its type is 0.
bool IsFitted(const fs::path& tty)
{
    return Attribute(tty / "type") != "0";
}

// The USB device above the port's device: the first folder upwards that has ids.
void ReadUsbDevice(const fs::path& sysRoot, fs::path device, TSerialPortInfo& port)
{
    std::error_code error;
    const fs::path top = fs::canonical(sysRoot, error);
    for (device = fs::canonical(device, error); !error && device != top && device.has_relative_path();
         device = device.parent_path()) {
        if (fs::exists(device / "idVendor")) {
            port.usbIds = Attribute(device / "idVendor") + ":" + Attribute(device / "idProduct");
            port.manufacturer = Attribute(device / "manufacturer");
            port.product = Attribute(device / "product");
            return;
        }
    }
}

std::string ByIdLink(const fs::path& devRoot, const fs::path& node)
{
    std::error_code error;
    const fs::path target = fs::canonical(node, error);
    for (fs::directory_iterator it(devRoot / "serial/by-id", error), end; !error && it != end; it.increment(error)) {
        std::error_code linkError;
        if (fs::canonical(it->path(), linkError) == target && !linkError)
            return it->path().string();
    }
    return {};
}

} // namespace

std::vector<TSerialPortInfo> ListSerialPorts(const fs::path& sysRoot, const fs::path& devRoot)
{
    std::vector<TSerialPortInfo> ports;
    std::error_code error;
    for (fs::directory_iterator it(sysRoot / "class/tty", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const fs::path device = it->path() / "device", node = devRoot / name;
        std::error_code missing;
        // Pseudo-terminals and virtual consoles have no device behind them.
        if (!fs::exists(device, missing) || !fs::exists(node, missing) || !IsFitted(it->path()) ||
            IsConsole(sysRoot, name))
            continue;
        TSerialPortInfo port{node.string(), ByIdLink(devRoot, node), {}, {}, {}};
        ReadUsbDevice(sysRoot, device, port);
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.device < b.device; });
    return ports;
}

std::vector<TSerialPortInfo> ListSerialPorts()
{
    return ListSerialPorts("/sys", "/dev");
}
