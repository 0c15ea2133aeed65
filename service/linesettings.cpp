#include "linesettings.h"

#include <algorithm>

#include "inifile.h"

namespace service {

namespace {

constexpr const char* LastScanSection = "LastScan";

std::string indexed(const char* key, int i)
{
    return key + std::to_string(i);
}

}  // namespace

std::vector<FoundActuator> readLastScan(const IniImage& ini)
{
    std::vector<FoundActuator> found;
    const int count = std::clamp(ini.readInt(LastScanSection, "Count", 0), 0, wake::MaxAddress);
    for (int i = 1; i <= count; ++i) {
        FoundActuator a;
        a.address = ini.readInt(LastScanSection, indexed("Address", i), 0);
        if (a.address < 1 || a.address > wake::MaxAddress)
            continue;
        a.type = ini.readString(LastScanSection, indexed("Type", i), {});
        a.damaged = ini.readBool(LastScanSection, indexed("Damaged", i), false);
        found.push_back(std::move(a));
    }
    return found;
}

void writeLastScan(IniImage& ini, const std::vector<FoundActuator>& found)
{
    // A file that never had a scan stays without the section.
    if (found.empty() && !ini.hasSection(LastScanSection))
        return;
    // Entries past Count from an earlier, longer scan are not read.
    const int count = std::min(static_cast<int>(found.size()), wake::MaxAddress);
    ini.writeInteger(LastScanSection, "Count", count);
    for (int i = 1; i <= count; ++i) {
        const FoundActuator& a = found[static_cast<std::size_t>(i - 1)];
        ini.writeInteger(LastScanSection, indexed("Address", i), a.address);
        ini.writeString(LastScanSection, indexed("Type", i), a.type);
        ini.writeBool(LastScanSection, indexed("Damaged", i), a.damaged);
    }
}

int readScanTimeout(const IniImage& ini)
{
    return std::clamp(ini.readInt("Port", "Scan Timeout", DefaultScanTimeoutMs), MinScanTimeoutMs,
                      MaxScanTimeoutMs);
}

void writeScanTimeout(IniImage& ini, int timeoutMs)
{
    // The default stays unwritten until someone chooses another.
    if (timeoutMs == DefaultScanTimeoutMs && !ini.value("Port", "Scan Timeout"))
        return;
    ini.writeInteger("Port", "Scan Timeout", timeoutMs);
}

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
    s.scanTimeout = readScanTimeout(ini);
    s.lastScan = readLastScan(ini);
    return s;
}

const std::string& nameOf(const ActuatorNames& names, int address)
{
    static const std::string none;
    return address >= 1 && address < static_cast<int>(names.size()) ? names[address] : none;
}

const std::string& nameOf(const LineSettings& settings, int address)
{
    return nameOf(settings.names, address);
}

}  // namespace service
