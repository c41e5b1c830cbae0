// The port listing on a made-up sysfs and /dev: what a user may pick, and what never.
#include "serial/posix/PortList.h"
#include "TempDir.h"
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(PortList, ListsFittedPortsWithTheirLinksAndAdaptersButNoConsoleOrTerminal)
{
    TempDir dir;
    const fs::path sys = dir.Path() / "sys", dev = dir.Path() / "dev", usb = sys / "devices/pci0/usb1";
    const auto put = [](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    };
    const auto tty = [&](const std::string& name, const std::string& device, const std::string& type) {
        put(sys / "class/tty" / name / "type", type);
        put(dev / name, "");
        if (!device.empty())
            fs::create_directory_symlink("../../../devices/" + device, sys / "class/tty" / name / "device");
    };
    for (const auto& [file, text] : {std::pair{"1-1/idVendor", "0403"}, {"1-1/idProduct", "6001"},
                                     {"1-1/manufacturer", "FTDI"}, {"1-1/product", "FT232R USB UART"},
                                     {"1-1/1-1:1.0/ttyUSB0/uevent", ""}, {"1-2/idVendor", "2341"},
                                     {"1-2/idProduct", "0043"}, {"1-2/product", "Uno"}, {"1-2/1-2:1.0/uevent", ""}})
        put(usb / file, text);
    put(sys / "devices/pnp0/00:00/uevent", "");
    put(sys / "devices/platform/serial8250/uevent", "");
    tty("ttyUSB0", "pci0/usb1/1-1/1-1:1.0/ttyUSB0", "");
    tty("ttyACM0", "pci0/usb1/1-2/1-2:1.0", "");
    tty("ttyS5", "pnp0/00:00", "4");              // the console, as console/active says
    tty("ttyS1", "platform/serial8250", "0");     // a built-in port that is not fitted
    tty("ttyS2", "pnp0/00:00", "4");              // fitted
    tty("ttyS3", "pnp0/00:00", "4");              // fitted, and a console by its own word
    tty("tty1", "", "");                          // a virtual console
    tty("ptmx", "", "");                          // the terminal multiplexer
    tty("ttyUSB1", "pci0/usb1/1-1/1-1:1.0/ttyUSB0", "");
    fs::remove(dev / "ttyUSB1");                  // no node
    put(sys / "class/tty/console/active", "tty0 ttyS5");
    put(sys / "class/tty/ttyS3/console", "Y");
    fs::create_directories(dev / "serial/by-id");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0");
    std::string listed;
    for (const TSerialPortInfo& port : ListSerialPorts(sys, dev))
        listed += DescribeSerialPort(port) + "\n";
    EXPECT_EQ(listed, dev.string() + "/ttyACM0  USB 2341:0043 Uno\n" + dev.string() + "/ttyS2\n" + dev.string() +
                          "/ttyUSB0  " + dev.string() +
                          "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0  USB 0403:6001 FTDI FT232R USB UART\n");
    std::ifstream active("/sys/class/tty/console/active");  // this machine's own console is never listed
    for (std::string console; active >> console;)
        for (const TSerialPortInfo& port : ListSerialPorts())
            EXPECT_NE(port.device, "/dev/" + console);
}
