#include "pollsnapshot.h"

#include "wakeport.h"

namespace service {

PollSnapshot readPoll(TWakePort& port, PollPage page)
{
    PollSnapshot s;
    try {
        s.position = port.GetN();
        if (page == PollPage::Control) {
            int state = 0, flags = 0;
            port.GetS(state, flags);
            s.driveState = state;
            s.driveFlags = flags;
            int travel = 0;
            port.GetT(travel);
            s.travel = travel;
            int vl = 0, il = 0, no = 0, nc = 0;
            port.GetL(vl, il, no, nc);
            s.upperZone = no;
            s.lowerZone = nc;
        } else if (page == PollPage::Relays) {
            int travel = 0;
            port.GetT(travel);
            s.travel = travel;
            try {
                int input = 0;
                port.GetI(input);
                s.inputCurrent = input;
                s.relayStates = port.GetRS();
            } catch (const EHardwareException&) {
            }
        }
    } catch (const EHardwareException& e) {
        s.failed = true;
        s.failure = e.outcome();
    }
    return s;
}

}  // namespace service
