// The serial ports Windows has, as the port setup offers them there: the
// registry's HARDWARE\DEVICEMAP\SERIALCOMM names every port the system has
// (each value's data is a name such as "COM3"), and Plug and Play ports
// carry a friendly name ("USB Serial Port (COM3)").
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

// Where the names come from; tests give a fake registry of their own.
struct WindowsPortSource {
    std::function<std::vector<std::string>()> serialComm;               // SERIALCOMM's values' data
    std::function<std::map<std::string, std::string>()> friendlyNames;  // port name -> name
};

struct WindowsPort {
    int number = 0;     // n of COMn
    std::string label;  // "COM3 — USB Serial Port", or "COM1" where the system gives no name
};

// The COMn ports of the source in number order, each once; names that are
// not COMn (a driver's own device names) are left out.
std::vector<WindowsPort> ListWindowsPorts(const WindowsPortSource& source);

// The system's registry and device list (windowsports_win32.cpp).
WindowsPortSource SystemWindowsPorts();
