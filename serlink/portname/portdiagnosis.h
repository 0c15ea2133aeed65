// Why a port cannot be opened. The library's functions answer only yes or no;
// this tells the program (and the command-line tool) what stands in the way,
// so that a missing adapter or a permission problem is not left to guessing.
#pragma once

#include <string>

namespace serlink {

enum class PortCondition {
    Openable,      // nothing found in the way
    UnknownName,   // not "COMn" and not a device path
    NotFound,      // the device (or the target of ports/COMn) does not exist
    NoPermission,  // the user may not open it (group dialout)
    Busy,          // another program holds it
    Other,         // another system error, in detail
};

struct PortDiagnosis {
    PortCondition condition = PortCondition::Openable;
    std::string path;    // the device path the name leads to
    std::string detail;  // the system's text, for Other
};

// Looks without taking the port where the system allows: call it after an
// open has failed, since even a trial open pulses the modem lines of a real UART.
PortDiagnosis diagnose(const char* name);

// The platform's part: what stands in the way of the device path (one
// implementation per platform).
PortCondition diagnosePath(const std::string& path, std::string& detail);

}  // namespace serlink
