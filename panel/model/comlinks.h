// The entries ports/COM1 ... ports/COMn beside the program, which tell the
// serial link library what each "COMn" is: a link to a device, a link that
// leads nowhere (the port is then missing), or no entry (the library then
// takes the on-board UART /dev/ttyS<n-1>).
#pragma once

#include <stdexcept>
#include <string>

#include "serialdevices.h"

struct PortLink {
    enum class Kind {
        Fallback,  // no entry: /dev/ttyS<n-1>
        Nothing,   // pointed at nothing on purpose
        Device,    // a link to target (which may be missing now)
        Other,     // an entry that is not a link, opened as it stands
    };
    Kind kind = Kind::Fallback;
    std::string target;    // the device path it leads to (as written in the link)
    bool present = false;  // target exists now
};

// Thrown when the folder or the link cannot be written; the message says
// so in the operator's words, with the system's reason.
class PortLinkError : public std::runtime_error {
public:
    enum class Kind {
        Folder,  // the ports/ folder cannot be made
        Link,    // the entry cannot be written or put in place
    };
    PortLinkError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind)
    {
    }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

PortLink ReadPortLink(const std::string& portsFolder, int n);

// Points ports/COMn at device, replacing what is there in one step (so the
// library never sees the entry half-written); an empty device points it at
// nothing. Makes the folder when it is missing.
void WritePortLink(const std::string& portsFolder, int n, const std::string& device);

// "FTDI USB-RS485 Cable (ttyUSB0)", "ttyUSB1 (не подключено)", "нет
// устройства", "ttyS1": what COMn is, for the port menu.
std::string DescribePortLink(const PortLink& link, const SerialDeviceRoots& roots = {});
