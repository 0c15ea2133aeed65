#include "linesettings.h"

#include "inifile.h"

namespace service {

std::string nameKey(int address)
{
    return "Addr" + std::to_string(address);
}

LineSettings loadLineSettings(const std::string& path)
{
    return lineSettingsFrom(IniImage::load(path));
}

LineSettings lineSettingsFrom(const IniImage& ini)
{
    LineSettings s;
    s.port = ini.readInt("Port", "Port", s.port);
    s.baud = ini.readInt("Port", "Baud Rate", s.baud);
    s.address = ini.readInt("Params", "Address", s.address);
    s.mmPerStep = ini.readFloat("Params", "MMPerStep", s.mmPerStep);
    s.motSteps = ini.readInt("Params", "MotSteps", s.motSteps);
    s.optoBlades = ini.readInt("Params", "OptoBlades", s.optoBlades);
    for (int a = 1; a < static_cast<int>(s.names.size()); ++a)
        s.names[a] = ini.readString("Names", nameKey(a), {});
    return s;
}

const std::string& nameOf(const LineSettings& settings, int address)
{
    static const std::string none;
    return address >= 1 && address < static_cast<int>(settings.names.size())
               ? settings.names[address]
               : none;
}

}  // namespace service
