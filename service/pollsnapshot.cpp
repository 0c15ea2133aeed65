#include "pollsnapshot.h"

#include "wakeport.h"

namespace service {

void readActuator(TWakePort& port, unsigned wanted, unsigned mayFail, PollSnapshot& s)
{
    // One step per reading, in the line's order; a step is skipped when its
    // reading is not wanted or is there already.
    const auto step = [&](unsigned reading, bool have, auto&& read) {
        if (!(wanted & reading) || have)
            return true;
        if (!(mayFail & reading)) {
            read();
            return true;
        }
        try {
            read();
            return true;
        } catch (const EHardwareException&) {
            return false;
        }
    };
    const bool done =
        step(ReadPosition, s.position.has_value(), [&] { s.position = port.GetN(); }) &&
        step(ReadState, s.driveState.has_value(),
             [&] {
                 int state = 0, flags = 0;
                 port.GetS(state, flags);
                 s.driveState = state;
                 s.driveFlags = flags;
             }) &&
        step(ReadTravel, s.travel.has_value(),
             [&] {
                 int travel = 0;
                 port.GetT(travel);
                 s.travel = travel;
             }) &&
        step(ReadZones, s.upperZone.has_value(),
             [&] {
                 int speed = 0, current = 0, no = 0, nc = 0;
                 port.GetL(speed, current, no, nc);
                 s.upperZone = no;
                 s.lowerZone = nc;
             }) &&
        step(ReadInput, s.inputCurrent.has_value(),
             [&] {
                 int input = 0;
                 port.GetI(input);
                 s.inputCurrent = input;
             }) &&
        step(ReadRelays, s.relayStates.has_value(), [&] { s.relayStates = port.GetRS(); });
    (void)done;
}

unsigned pageReadings(PollPage page)
{
    switch (page) {
    case PollPage::Control: return ReadPosition | ReadState | ReadTravel | ReadZones;
    case PollPage::Relays: return ReadPosition | ReadTravel | ReadInput | ReadRelays;
    case PollPage::Other: break;
    }
    return ReadPosition;
}

PollSnapshot readPoll(TWakePort& port, PollPage page)
{
    PollSnapshot s;
    try {
        readActuator(port, pageReadings(page), ReadInput | ReadRelays, s);
    } catch (const EHardwareException&) {
        s.failed = true;
    }
    return s;
}

}  // namespace service
