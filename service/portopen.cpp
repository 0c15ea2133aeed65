#include "portopen.h"

#include <algorithm>
#include <cctype>

#include "portname.h"
#include "portproblem.h"
#include "wakeport.h"

namespace service {

std::string normalPortName(const TWakePort& port, const std::string& name)
{
    if (serlink::isDevicePath(name.c_str()))
        return name;
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return port.GetPortNum(upper) != 0 ? upper : std::string{};
}

PortOpenResult openPort(TWakePort& port, const std::string& name, int baud)
{
    port.Close();
    const std::string normal = normalPortName(port, name);
    if (normal.empty())
        return {false, "неизвестный порт (COM1…COM" + std::to_string(port.MaxPort) +
                           " или путь к устройству)"};
    if (port.Open(normal, baud))
        return {true, {}};
    port.Close();
    // Worked out only after the open failed: a trial open would pulse the
    // modem lines of a working port.
    std::string problem = PortProblem(normal).text();
    if (problem.empty())
        problem = "порт не открывается";
    return {false, problem};
}

Reopen reopenLostPort(TWakePort& port)
{
    if (port.Port == 0 || port.Connected())
        return Reopen::NotLost;
    return port.Reopen() ? Reopen::Reopened : Reopen::StillLost;
}

}  // namespace service
