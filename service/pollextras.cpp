#include "pollextras.h"

#include "wakeport.h"

namespace service {

unsigned extraReadings(PollPage page, const PollNeeds& needs)
{
    unsigned wanted = 0;
    if (needs.trends) {
        wanted |= ReadPosition | ReadState | ReadInput | ReadRelays;
        if (!needs.travelKnown)
            wanted |= ReadTravel;
    }
    if (needs.strokePending)
        wanted |= ReadState;
    if (needs.line) {
        wanted |= ReadState;
        if (!needs.lineTravelKnown)
            wanted |= ReadTravel;
    }
    return wanted & ~pageReadings(page);
}

void readExtras(TWakePort& port, unsigned extras, PollSnapshot& snapshot)
{
    if (snapshot.failed() || extras == 0)
        return;
    readActuator(port, extras, extras, snapshot);
}

}  // namespace service
