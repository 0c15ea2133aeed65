#include "scan.h"

#include <algorithm>

#include "addressscope.h"
#include "wakeport.h"

namespace service {

std::vector<FoundActuator> scanLine(TWakePort& port, const ScanOptions& options)
{
    std::vector<FoundActuator> found;
    // Without a port every probe would fail at once: there is nothing to ask.
    if (port.Port == 0)
        return found;
    AddressScope scope(port, port.DevAddr);
    for (int a = std::max(options.first, 1); a <= std::min(options.last, 127); ++a) {
        if (options.cancelled && options.cancelled())
            break;
        bool answered = true;
        std::string type;
        try {
            port.SetDevAddr(a);
            type = port.GetInfo();
        } catch (const EHardwareException&) {
            answered = false;
        }
        if (answered)
            found.push_back({a, std::move(type)});
        if (options.progress)
            options.progress(a, answered ? &found.back() : nullptr);
    }
    return found;
}

}  // namespace service
