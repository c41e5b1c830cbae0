// The Linux port list, from any sysfs and /dev tree.
#pragma once

#include "serial/PortList.h"

#include <filesystem>

// ListSerialPorts() as sysfs under `sysRoot` shows the ports, with nodes under `devRoot`.
std::vector<TSerialPortInfo> ListSerialPorts(const std::filesystem::path& sysRoot,
                                             const std::filesystem::path& devRoot);
