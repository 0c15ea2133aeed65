#include "linesettings.h"

#include "inifile.h"

namespace service {

LineSettings loadLineSettings(const std::string& path)
{
    const IniImage ini = IniImage::load(path);
    LineSettings s;
    s.port = ini.readInt("Port", "Port", s.port);
    s.baud = ini.readInt("Port", "Baud Rate", s.baud);
    s.address = ini.readInt("Params", "Address", s.address);
    s.mmPerStep = ini.readFloat("Params", "MMPerStep", s.mmPerStep);
    s.motSteps = ini.readInt("Params", "MotSteps", s.motSteps);
    s.optoBlades = ini.readInt("Params", "OptoBlades", s.optoBlades);
    for (int a = 1; a < static_cast<int>(s.names.size()); ++a)
        s.names[a] = ini.readString("Names", "Addr" + std::to_string(a), {});
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
