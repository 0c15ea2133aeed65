// Giving an actuator a new network address, as the parameter page does it
// (SetAddr in a frame without address byte, so that the actuator takes it
// whatever address it has now), with the checks a line needs around it.
#pragma once

#include <string>

class TWakePort;

namespace service {

struct AddressOutcome {
    enum Result {
        Assigned,     // sent, and the new address answers
        Occupied,     // another actuator already answers there: nothing sent
        NotAnswering  // sent, but nothing answers at the new address
    } result = NotAnswering;
    std::string type;  // what answers at the new address (the occupant, or the actuator)
};

// Every actuator on the line that hears the frame takes the address: only
// one may be connected. force skips the occupancy check. EHardwareException
// from SetAddr passes to the caller; the client's address is given back.
AddressOutcome assignAddress(TWakePort& port, int newAddress, bool force);

}  // namespace service
