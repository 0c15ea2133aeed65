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
    PortOpenResult result;
    if (normal.empty()) {
        result.problem =
            "неизвестный порт (COM1…COM" + std::to_string(port.MaxPort) + " или путь к устройству)";
        return result;
    }
    result.opened = port.Open(normal, baud);
    if (result.opened)
        return result;
    if (port.Connected()) {
        result.rateRefused = true;
        result.problem = "скорость " + std::to_string(baud) + " бод не поддерживается";
        return result;
    }
    // The port stays chosen, so that it can be reopened by its name.
    return portProblemOf(port);
}

PortOpenResult portProblemOf(const TWakePort& port)
{
    // Worked out only after the open failed: a trial open would pulse the
    // modem lines of a working port.
    const PortProblemInfo info = PortProblem(port.PortName);
    PortOpenResult result;
    result.problem = info.reason.empty() ? "порт не открывается" : info.reason;
    result.path = info.path;
    return result;
}

std::vector<bool> portsAvailable(const TWakePort& port)
{
    std::vector<bool> available(static_cast<std::size_t>(std::max(port.MaxPort, 0)));
    for (int n = 1; n <= port.MaxPort; ++n)
        available[static_cast<std::size_t>(n - 1)] = n == port.Port || port.PortAvailable(n);
    return available;
}

Reopen reopenLostPort(TWakePort& port)
{
    if (port.Port == 0 || port.Connected())
        return Reopen::NotLost;
    return port.Reopen() ? Reopen::Reopened : Reopen::StillLost;
}

}  // namespace service
