// What a tool takes from the program's settings file: the port, the baud
// rate, the selected address, the actuators' names and the constants that
// turn optical steps into millimetres. Read only; the window owns the file.
#pragma once

#include <array>
#include <string>

class IniImage;

namespace service {

struct LineSettings {
    int port = 2;  // COMn; 0 none
    int baud = 9600;
    int address = 0;
    double mmPerStep = 0.00083;
    int motSteps = 200;
    int optoBlades = 8;
    std::array<std::string, 128> names;  // by address; entry 0 unused
};

// A missing file gives the defaults; a file that exists but cannot be read
// throws IniFileError.
LineSettings loadLineSettings(const std::string& path);
// The same from a settings image already loaded (the window's own file).
LineSettings lineSettingsFrom(const IniImage& ini);
// The key of an actuator's name in [Names]: "Addr17".
std::string nameKey(int address);

// The name stored for an address, empty outside 1..127.
const std::string& nameOf(const LineSettings& settings, int address);

}  // namespace service
