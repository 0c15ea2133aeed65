// One reading of an actuator's state: what the position and relay pages show,
// taken in one go through the poll's reading (GetN, GetS, GetT, GetL, GetI,
// GetRS), every part of it required.
#pragma once

class TWakePort;

namespace service {

struct StatusReading {
    int driveState = 0;    // DriveState code
    int driveFlags = 0;    // DriveFlags bits
    int position = 0;      // N, optical steps
    int travel = 0;        // Nt as reported (0 is possible)
    int upperZone = 0;     // No, motor steps
    int lowerZone = 0;     // Nc
    int inputCurrent = 0;  // microamperes
    int relayStates = 0;   // bit k: relay k+1 on
};

StatusReading readStatus(TWakePort& port, int address);

// The drive's motion sequence has ended: stopped, or locking at an end
// finished, with no open or close command active.
bool atRest(int driveState, int driveFlags);

}  // namespace service
