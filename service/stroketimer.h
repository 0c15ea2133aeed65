// How long an actuator took from "open" or "close" to its limit switch, as
// the exchanges show it: the stroke starts with an answered SetS 5 (open) or
// SetS 6 (close) and ends when a GetS answer shows LIMO or LIMC. The poll
// reads the position (GetN) on every tick, and the flags on every tick while
// a stroke is pending, but the end is dated by the position: the first
// reading of the value at which the drive came to rest. A stop command (SetS 0 or 4) cancels the
// stroke; a drive already at its limit makes none.
#pragma once

#include <chrono>
#include <map>
#include <optional>

#include "exchangerecord.h"

namespace service {

struct Stroke {
    int address = 0;
    bool open = true;  // toward LIMO
    double seconds = 0;
};

class StrokeTimer {
public:
    using Clock = std::chrono::steady_clock;

    // Feeds one exchange; gives the stroke that it ends, if any.
    std::optional<Stroke> observe(const ExchangeRecord& record);

    void commanded(int address, int motionCode, Clock::time_point at);
    void position(int address, int n, Clock::time_point at);
    std::optional<Stroke> flags(int address, int driveFlags, Clock::time_point at);

    // A stroke of the actuator waits for its end (a GetS at the limit).
    bool pending(int address) const { return pending_.count(address) != 0; }

private:
    struct Pending {
        bool open = true;
        Clock::time_point start;
        bool haveN = false;
        int lastN = 0;
        Clock::time_point restingSince;  // first reading of lastN
        bool moved = false;              // the position changed since the command
        bool limitLeft = false;          // a GetS showed the target limit off
    };
    std::map<int, Pending> pending_;
};

}  // namespace service
