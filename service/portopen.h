// Opening the line's port for the window and the tools: the protocol client
// opens it, and when that fails the reason is named (not found, no
// permission, busy) in the same words for all of them.
#pragma once

#include <string>
#include <vector>

class TWakePort;

namespace service {

// COM1..COM8: the ports the programs offer and the settings file names.
inline constexpr int HighestPort = 8;

// "COM1".."COMn" up to the client's highest port, or a device path (a name
// with "/"). "com2" is taken as "COM2". Empty for any other name.
std::string normalPortName(const TWakePort& port, const std::string& name);

struct PortOpenResult {
    bool opened = false;       // open at the baud rate asked
    bool rateRefused = false;  // open, but the device did not take the rate
    std::string problem;       // why not, in the operator's words
    std::string path;          // the device the problem is about, when known
    // "problem: path", the problem first so that a long path cannot hide it.
    std::string text() const { return path.empty() ? problem : problem + ": " + path; }
};

// Closes what the client had open, then opens name at that baud rate. A
// port that does not open stays chosen, to be reopened by its name; a
// device that opens but refuses the rate stays open (the window shows it
// so), while a tool needs the rate and takes that as not opened.
PortOpenResult openPort(TWakePort& port, const std::string& name, int baud);

// Why the port in use is not open: its problem and path, as openPort names them.
PortOpenResult portProblemOf(const TWakePort& port);

// Whether each of COM1..COM<port.MaxPort> (index 0 is COM1) could be opened
// now; the port in use counts as available, so that it can be chosen again.
std::vector<bool> portsAvailable(const TWakePort& port);

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
