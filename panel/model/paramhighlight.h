// Which fields of the parameter page the drive's WorkStatus greys out: the
// working speeds not in effect and a locking zone marked inactive.
#pragma once

#include <array>

struct ParamHighlight {
    std::array<bool, 4> speedInactive{};  // the pairs feV1/feI1 .. feV4/feI4
    bool upperZoneInactive = false;       // feNo
    bool lowerZoneInactive = false;       // feNc
};

// Bits 0-1: the working speed in effect (its pair keeps the normal colour);
// bits 4-5: 1 marks the upper zone inactive, 2 the lower one, 0 and 3 neither.
ParamHighlight HighlightFromWorkStatus(int workStatus);
