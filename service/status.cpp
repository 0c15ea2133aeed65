#include "status.h"

#include "addressscope.h"
#include "codes.h"
#include "wakeport.h"

namespace service {

StatusReading readStatus(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    StatusReading r;
    port.GetS(r.driveState, r.driveFlags);
    r.position = port.GetN();
    port.GetT(r.travel);
    int lockSpeed = 0, lockCurrent = 0;
    port.GetL(lockSpeed, lockCurrent, r.upperZone, r.lowerZone);
    port.GetI(r.inputCurrent);
    r.relayStates = port.GetRS();
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
