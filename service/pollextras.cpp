#include "pollextras.h"

#include "wakeport.h"

namespace service {

void readTrendExtras(TWakePort& port, PollPage page, PollSnapshot& snapshot)
{
    if (page == PollPage::Control || snapshot.failed)
        return;
    try {
        const DriveStatus drive = port.GetS();
        snapshot.driveState = drive.state;
        snapshot.driveFlags = drive.flags;
    } catch (const EHardwareException&) {
    }
    if (page == PollPage::Relays)
        return;
    try {
        snapshot.inputCurrent = port.GetI();
    } catch (const EHardwareException&) {
    }
}

}  // namespace service
