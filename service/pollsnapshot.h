// What one poll of the selected actuator read: the position always, and what
// the page on show needs. A reading that was not made, or failed, is empty.
#pragma once

#include <optional>

class TWakePort;

namespace service {

enum class PollPage { Other, Control, Relays };

struct PollSnapshot {
    std::optional<int> position;  // N, optical steps
    std::optional<int> driveState;
    std::optional<int> driveFlags;
    std::optional<int> travel;                // Nt as the drive reports it
    std::optional<int> upperZone, lowerZone;  // No, Nc
    std::optional<int> inputCurrent;          // microamperes
    std::optional<int> relayStates;
    // An exchange failed: the actuator is taken as gone. The live relay
    // readings do not count (their failure leaves the rest standing).
    bool failed = false;
};

// The tick's readings in the order the line carries them: GetN, then GetS,
// GetT, GetL for the position page, or GetT, GetI, GetRS for the relay page.
PollSnapshot readPoll(TWakePort& port, PollPage page);

}  // namespace service
