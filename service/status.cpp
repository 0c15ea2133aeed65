#include "status.h"

#include "addressscope.h"
#include "codes.h"
#include "pollsnapshot.h"
#include "wakeport.h"

namespace service {

StatusReading readStatus(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    PollSnapshot s;
    readActuator(port, ReadAll, 0, s);
    StatusReading r;
    r.driveState = *s.driveState;
    r.driveFlags = *s.driveFlags;
    r.position = *s.position;
    r.travel = *s.travel;
    r.upperZone = *s.upperZone;
    r.lowerZone = *s.lowerZone;
    r.inputCurrent = *s.inputCurrent;
    r.relayStates = *s.relayStates;
    return r;
}

bool atRest(int driveState, int driveFlags)
{
    const bool ended = driveState == wake::drive::Stopped ||
                       driveState == wake::drive::OpenFinished ||
                       driveState == wake::drive::CloseFinished;
    return ended && (driveFlags & (wake::flag::OpenCmd | wake::flag::CloseCmd)) == 0;
}

}  // namespace service
