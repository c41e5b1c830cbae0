#include "serial/PortList.h"
#include "serial/win32/WinApi.h"

std::vector<TSerialPortInfo> ListSerialPorts()
{
    std::vector<TSerialPortInfo> ports;
    for (std::string& name : winapi::SerialPortNames())
        ports.push_back({std::move(name), {}, {}, {}, {}});
    return ports;
}
