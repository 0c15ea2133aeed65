// What a poll tick adds to the page's own reading. While the trends window
// is open, the trends take the position, the state, the input current and
// the relay states from every page (and the travel until one is known for
// the actuator, for the percentage); while a stroke is pending for the
// actuator, the stroke timer needs the state, whose limit flags end it.
// While the line overview is open, its row of the selected actuator (which
// it leaves to the tick) needs the state, and the travel once.
// Only what the page's reading lacks is added, after it.
#pragma once

#include "pollsnapshot.h"

class TWakePort;

namespace service {

struct PollNeeds {
    bool trends = false;           // the trends window is open
    bool travelKnown = false;      // the trends have a travel for the actuator
    bool strokePending = false;    // an "open" or "close" is being timed
    bool line = false;             // the line overview is open
    bool lineTravelKnown = false;  // its row of the actuator has a travel
};

// The readings to add on that page (PollReading bits, none for nothing).
unsigned extraReadings(PollPage page, const PollNeeds& needs);

// Reads them into the snapshot after the page's reading (nothing after a
// failed tick). A failure ends them, leaves the rest empty and is not a
// failure of the tick.
void readExtras(TWakePort& port, unsigned extras, PollSnapshot& snapshot);

}  // namespace service
