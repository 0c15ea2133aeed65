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
                 const DriveStatus drive = port.GetS();
                 s.driveState = drive.state;
                 s.driveFlags = drive.flags;
             }) &&
        step(ReadTravel, s.travel.has_value(), [&] { s.travel = port.GetT(); }) &&
        step(ReadZones, s.upperZone.has_value(),
             [&] {
                 const LValues zones = port.GetL();
                 s.upperZone = zones.no;
                 s.lowerZone = zones.nc;
             }) &&
        step(ReadInput, s.inputCurrent.has_value(), [&] { s.inputCurrent = port.GetI(); }) &&
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
    } catch (const EHardwareException& e) {
        s.failure = e.outcome();
    }
    return s;
}

}  // namespace service
