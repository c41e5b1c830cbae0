#include "serial/posix/PortName.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view DevicePrefix = "\\\\.\\";

// The n of "COMn" (any case, n >= 1), or 0 for any other name.
unsigned long ComNumber(std::string_view name)
{
    if (name.size() < 4 || name.size() > 12)
        return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    unsigned long n = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
        n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    return n;
}

} // namespace

std::string DevicePathForPort(const std::string& given)
{
    std::string_view name = given;
    if (name.starts_with(DevicePrefix))
        name.remove_prefix(DevicePrefix.size());
    if (name.starts_with('/'))
        return std::string(name);
    if (unsigned long n = ComNumber(name)) {
        std::string variable = "COM" + std::to_string(n) + "_DEVICE";
        if (const char* device = std::getenv(variable.c_str()); device && *device)
            return device;
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + std::string(name);
}
