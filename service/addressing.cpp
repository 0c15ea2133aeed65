#include "addressing.h"

#include <optional>

#include "addressscope.h"
#include "wakeport.h"

namespace service {

namespace {

std::optional<std::string> identify(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    try {
        return port.GetInfo();
    } catch (const EHardwareException&) {
        return std::nullopt;
    }
}

}  // namespace

AddressOutcome assignAddress(TWakePort& port, int newAddress, bool force)
{
    AddressOutcome out;
    if (!force) {
        if (auto occupant = identify(port, newAddress)) {
            out.result = AddressOutcome::Occupied;
            out.type = *occupant;
            return out;
        }
    }
    {
        AddressScope scope(port, 0);
        port.SetAddr(newAddress);
    }
    if (auto type = identify(port, newAddress)) {
        out.result = AddressOutcome::Assigned;
        out.type = *type;
    }
    return out;
}

}  // namespace service
