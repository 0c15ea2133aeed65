#include "status.h"

#include "addressscope.h"
#include "codes.h"
#include "wakeport.h"

namespace service {

StatusReading readStatus(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    StatusReading r;
    const DriveStatus drive = port.GetS();
    r.driveState = drive.state;
    r.driveFlags = drive.flags;
    r.position = port.GetN();
    r.travel = port.GetT();
    const LValues zones = port.GetL();
    r.upperZone = zones.no;
    r.lowerZone = zones.nc;
    r.inputCurrent = port.GetI();
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
