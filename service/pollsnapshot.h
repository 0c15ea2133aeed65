// What one reading of an actuator read: the position always, and whichever
// of the state, travel, locking zones, input current and relay states were
// asked for. A reading that was not made, or failed, is empty. The window's
// poll tick, the trends' additions to it and `tirsctl status` all read
// through readActuator, so the line carries them in one order.
#pragma once

#include <optional>

#include "exchangerecord.h"

class TWakePort;

namespace service {

// The readings of one actuator, in the order the line carries them.
enum PollReading : unsigned {
    ReadPosition = 1u << 0,  // GetN
    ReadState = 1u << 1,     // GetS
    ReadTravel = 1u << 2,    // GetT
    ReadZones = 1u << 3,     // GetL
    ReadInput = 1u << 4,     // GetI
    ReadRelays = 1u << 5,    // GetRS
    ReadAll = (1u << 6) - 1,
};

enum class PollPage { Other, Control, Relays };

struct PollSnapshot {
    std::optional<int> position;  // N, optical steps
    std::optional<int> driveState;
    std::optional<int> driveFlags;
    std::optional<int> travel;                // Nt as the drive reports it
    std::optional<int> upperZone, lowerZone;  // No, Nc
    std::optional<int> inputCurrent;          // microamperes
    std::optional<int> relayStates;
    // How an exchange failed, when one did: the actuator is taken as gone.
    // The live relay readings do not count (their failure leaves the rest
    // standing).
    std::optional<ExchangeOutcome> failure;
    bool failed() const { return failure.has_value(); }
};

// Reads the readings in `wanted` that the snapshot lacks, in the order
// GetN, GetS, GetT, GetL, GetI, GetRS, into it. The first failure among
// `mayFail` ends the reading there (leaving the rest empty); a failure of
// any other reading is thrown.
void readActuator(TWakePort& port, unsigned wanted, unsigned mayFail, PollSnapshot& snapshot);

// What a page's tick reads: the position on every page, with the state,
// travel and zones on the position page, or the travel, input current and
// relay states on the relay page.
unsigned pageReadings(PollPage page);

// The tick's own reading of the page on show; a failure other than of the
// relay page's live readings marks the snapshot failed.
PollSnapshot readPoll(TWakePort& port, PollPage page);

}  // namespace service
