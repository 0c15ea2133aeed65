#include "pollsnapshot.h"

#include "wakeport.h"

namespace service {

PollSnapshot readPoll(TWakePort& port, PollPage page)
{
    PollSnapshot s;
    try {
        s.position = port.GetN();
        if (page == PollPage::Control) {
            const DriveStatus drive = port.GetS();
            s.driveState = drive.state;
            s.driveFlags = drive.flags;
            s.travel = port.GetT();
            const LValues zones = port.GetL();
            s.upperZone = zones.no;
            s.lowerZone = zones.nc;
        } else if (page == PollPage::Relays) {
            s.travel = port.GetT();
            try {
                s.inputCurrent = port.GetI();
                s.relayStates = port.GetRS();
            } catch (const EHardwareException&) {
            }
        }
    } catch (const EHardwareException&) {
        s.failed = true;
    }
    return s;
}

}  // namespace service
