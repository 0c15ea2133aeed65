// Opening the line's port for a tool: the protocol client opens it, and when
// that fails the reason is named (not found, no permission, busy).
#pragma once

#include <string>

class TWakePort;

namespace service {

// "COM1".."COMn" up to the client's highest port, or a device path (a name
// with "/"). "com2" is taken as "COM2". Empty for any other name.
std::string normalPortName(const TWakePort& port, const std::string& name);

struct PortOpenResult {
    bool opened = false;
    std::string problem;  // why not, in the operator's words
};

// Closes what the client had open, then opens name at that baud rate.
PortOpenResult openPort(TWakePort& port, const std::string& name, int baud);

}  // namespace service
