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

bool garbled(const TWakePort& port)
{
    return port.LastOutcome() == ExchangeOutcome::DamagedAnswer || port.LastDamagedFrames() > 0;
}

AddressOutcome sendAddress(TWakePort& port, int newAddress)
{
    AddressOutcome out;
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

}  // namespace

Listeners whoIsThere(TWakePort& port)
{
    Listeners out;
    AddressScope scope(port, 0);
    try {
        out.type = port.GetInfo();
    } catch (const EHardwareException&) {
        out.count = garbled(port) ? Listeners::Several : Listeners::None;
        return out;
    }
    if (garbled(port)) {
        out.count = Listeners::Several;
        return out;
    }
    // Each actuator answers in turn on a line that keeps the answers apart.
    try {
        port.ReceiveAnswer(port.AnswerTimeout);
        out.count = Listeners::Several;
    } catch (const EHardwareException&) {
        out.count = garbled(port) ? Listeners::Several : Listeners::One;
    }
    return out;
}

AddressOutcome assignAddress(TWakePort& port, int newAddress, const AddressQuestions& ask)
{
    AddressOutcome out;
    const Listeners listeners = whoIsThere(port);
    if (listeners.count == Listeners::Several && !(ask.several && ask.several(listeners))) {
        out.result = AddressOutcome::Several;
        return out;
    }
    if (auto occupant = identify(port, newAddress)) {
        if (!(ask.occupied && ask.occupied(*occupant))) {
            out.result = AddressOutcome::Occupied;
            out.type = *occupant;
            return out;
        }
    }
    return sendAddress(port, newAddress);
}

AddressOutcome assignAddress(TWakePort& port, int newAddress, bool force)
{
    return force ? sendAddress(port, newAddress)
                 : assignAddress(port, newAddress, AddressQuestions{});
}

}  // namespace service
