#include "windowsports.h"


#include "portname.h"

namespace {

// "USB Serial Port (COM3)" -> "USB Serial Port": the port's number stands
// first in the label already.
std::string withoutPortName(std::string name, const std::string& port)
{
    const std::string suffix = " (" + port + ")";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    return name;
}

}  // namespace

std::vector<WindowsPort> ListWindowsPorts(const WindowsPortSource& source)
{
    const std::vector<std::string> names =
        source.serialComm ? source.serialComm() : std::vector<std::string>{};
    const std::map<std::string, std::string> friendly =
        source.friendlyNames ? source.friendlyNames() : std::map<std::string, std::string>{};
    std::map<int, WindowsPort> ports;
    for (const std::string& name : names) {
        const int n = static_cast<int>(serlink::comNumber(name.c_str()));
        if (n == 0 || ports.count(n) != 0)
            continue;
        const std::string port = "COM" + std::to_string(n);
        WindowsPort p{n, port};
        const auto f = friendly.find(port);
        if (f != friendly.end() && !f->second.empty())
            p.label += " — " + withoutPortName(f->second, port);
        ports.emplace(n, p);
    }
    std::vector<WindowsPort> list;
    for (const auto& [n, p] : ports)
        list.push_back(p);
    return list;
}
