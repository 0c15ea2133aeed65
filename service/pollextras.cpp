#include "pollextras.h"

#include "wakeport.h"

namespace service {

void readTrendExtras(TWakePort& port, PollPage page, PollSnapshot& snapshot)
{
    if (page == PollPage::Control || snapshot.failed)
        return;
    try {
        int state = 0, flags = 0;
        port.GetS(state, flags);
        snapshot.driveState = state;
        snapshot.driveFlags = flags;
    } catch (const EHardwareException&) {
    }
    if (page == PollPage::Relays)
        return;
    try {
        int input = 0;
        port.GetI(input);
        snapshot.inputCurrent = input;
    } catch (const EHardwareException&) {
    }
}

}  // namespace service
