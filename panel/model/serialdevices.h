// The serial devices of this machine, as the port setup offers them: the
// stable names under /dev/serial/by-id first, then the USB adapters
// (ttyUSB*, ttyACM*) and the on-board UARTs (ttyS*) the kernel knows. Only
// names are read (directories, links, sysfs): no device is opened.
#pragma once

#include <string>
#include <vector>

// Where to look; tests point these at folders of their own.
struct SerialDeviceRoots {
    std::string byId = "/dev/serial/by-id";
    std::string dev = "/dev";
    std::string sysTty = "/sys/class/tty";  // a UART with type 0 is not fitted
};

struct SerialDevice {
    std::string path;   // what COMn should point at: the stable name where there is one
    std::string label;  // the operator's name, e.g. "FTDI USB-RS485 Cable (ttyUSB0)"
};

std::vector<SerialDevice> ListSerialDevices(const SerialDeviceRoots& roots = {});

// The operator's name of a device path: a stable name shortened to maker
// and model with the kernel's name in brackets ("(не подключено)" when it
// leads nowhere now), a name under dev relative to it ("ttyUSB0", "pts/3"),
// anything else as it stands.
std::string DescribeDevice(const std::string& path, const SerialDeviceRoots& roots = {});

// Why a path typed or browsed to cannot be a port's device, in the
// operator's words; empty when it is a character device (links followed),
// as serial adapters and pseudo-terminals are.
std::string CharacterDeviceProblem(const std::string& path);
