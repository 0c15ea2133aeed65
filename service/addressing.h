// Giving an actuator a new network address, as the parameter page does it
// (SetAddr in a frame without address byte, so that the actuator takes it
// whatever address it has now), with the checks a line needs around it.
#pragma once

#include <functional>
#include <string>

class TWakePort;

namespace service {

// Who hears a frame without address: the answer to a GetInfo sent without
// address, and whether a second answer follows it.
struct Listeners {
    enum Count {
        None,    // nothing answered
        One,     // one clean answer, and nothing after it
        Several  // a damaged answer (answers on top of one another) or more than one
    } count = None;
    std::string type;  // the first clean answer's text, when there was one
};

// One unaddressed GetInfo, then one more byte time-out for a second answer.
// Never raises; the client's address is given back.
Listeners whoIsThere(TWakePort& port);

struct AddressOutcome {
    enum Result {
        Assigned,      // sent, and the new address answers
        Occupied,      // another actuator already answers there: nothing sent
        NotAnswering,  // sent, but nothing answers at the new address
        Several        // more than one actuator hears a frame without address: nothing sent
    } result = NotAnswering;
    std::string type;  // what answers at the new address (the occupant, or the actuator)
};

// What to do when a check finds a reason not to send: true goes on. A
// question left empty refuses.
struct AddressQuestions {
    std::function<bool(const Listeners&)> several;              // more than one hears
    std::function<bool(const std::string& occupant)> occupied;  // the new address answers
};

// Every actuator on the line that hears the frame takes the address: only
// one may be connected. whoIsThere is asked first, then whether the new
// address already answers; each finding goes to its question, and a refusal
// sends nothing. EHardwareException from SetAddr passes to the caller; the
// client's address is given back. The window asks the operator, the tool
// answers with its --force.
AddressOutcome assignAddress(TWakePort& port, int newAddress, const AddressQuestions& ask);
// force skips both checks (and their requests); otherwise both refuse.
AddressOutcome assignAddress(TWakePort& port, int newAddress, bool force);

}  // namespace service
