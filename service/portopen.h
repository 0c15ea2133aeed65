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

enum class Reopen {
    NotLost,    // no port in use, or its device is there
    Reopened,   // its device was gone and is open again
    StillLost,  // its device is still gone
};
// A port in use whose device went away (unplugged, the link re-created) is
// opened again by its name, at the baud rate it had: the window's poll and
// tirsctl's watch call this before their exchanges.
Reopen reopenLostPort(TWakePort& port);

}  // namespace service
