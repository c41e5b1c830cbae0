#include "serial/PortList.h"

std::string DescribeSerialPort(const TSerialPortInfo& port)
{
    std::string line = port.device;
    if (!port.byId.empty())
        line += "  " + port.byId;
    if (!port.usbIds.empty()) {
        line += "  USB " + port.usbIds;
        for (const std::string* name : {&port.manufacturer, &port.product})
            if (!name->empty())
                line += " " + *name;
    }
    return line;
}
