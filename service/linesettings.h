// What a tool takes from the program's settings file: the port, the baud
// rate, the selected address, the actuators' names and the constants that
// turn optical steps into millimetres, and what the last scan found. Read
// only, but for the last scan, which the window keeps there.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "scan.h"

class IniImage;

namespace service {

// The actuators' names by address (UTF-8); entry 0 unused.
using ActuatorNames = std::array<std::string, 128>;

struct LineSettings {
    int port = 2;  // COMn; 0 none
    int baud = 9600;
    int address = 0;
    double mmPerStep = 0.00083;
    int motSteps = 200;
    int optoBlades = 8;
    ActuatorNames names;
    int scanTimeout = DefaultScanTimeoutMs;  // ms, the window's scan
    std::vector<FoundActuator> lastScan;     // address order
};

// A missing file gives the defaults; a file that exists but cannot be read
// throws IniFileError.
LineSettings loadLineSettings(const std::string& path);
// The same from a settings image already loaded (the window's own file).
LineSettings lineSettingsFrom(const IniImage& ini);
// The key of an actuator's name in [Names]: "Addr17".
std::string nameKey(int address);

// The actuators of the last scan (address, type, a damaged answer), as
// kept in the section [LastScan]; entries outside 1..127 are left out.
std::vector<FoundActuator> readLastScan(const IniImage& ini);
// Replaces what readLastScan gives back (an empty list leaves a file without
// the section as it is).
void writeLastScan(IniImage& ini, const std::vector<FoundActuator>& found);
// The scan's answer time-out as kept, held to the range an operator may choose.
int readScanTimeout(const IniImage& ini);
// Written once it differs from the default, or was there before.
void writeScanTimeout(IniImage& ini, int timeoutMs);

// The name stored for an address, empty outside 1..127.
const std::string& nameOf(const ActuatorNames& names, int address);
const std::string& nameOf(const LineSettings& settings, int address);

}  // namespace service
