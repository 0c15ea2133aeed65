// One reading of the selected actuator as the trends record keeps it: what a
// poll tick read, with the position also in percent and millimetres.
#pragma once

#include <cstdint>
#include <optional>

#include "pollsnapshot.h"

namespace service {

// The conversion constants of the millimetre display (settings file).
struct PositionScale {
    double mmPerStep = 0.00083;
    int motSteps = 200;
    int optoBlades = 8;
};

struct TrendSample {
    std::int64_t time = 0;  // ms since the epoch (wall clock)
    int address = 0;
    // The line breaks before this sample: a pause in the readings, another
    // actuator, or (after thinning) a break inside the span it stands for.
    bool breakBefore = true;
    std::optional<int> position;  // optical steps
    std::optional<double> percent;
    std::optional<double> millimetres;
    std::optional<int> driveState;
    std::optional<int> driveFlags;
    std::optional<int> inputCurrent;  // microamperes
    std::optional<int> relayStates;
};

// The quantities a trend can show.
enum class TrendQuantity { Percent, Millimetres, DriveState, InputCurrent, Relay1, Relay2, Relay3 };

// The value of one quantity in a sample (input current in mA, a relay as 0
// or 1), or nothing when the sample has none.
std::optional<double> trendValue(const TrendSample& s, TrendQuantity q);

// A sample from a tick's readings. The percentage needs the travel: the
// snapshot's, else travelHint (the last one read), else there is none.
TrendSample sampleFromPoll(const PollSnapshot& snapshot, std::int64_t time, int address,
                           std::optional<int> travelHint, const PositionScale& scale);

}  // namespace service
