// Wall-clock times as the monitor and the journal write them, in the
// computer's local time zone.
#pragma once

#include <chrono>
#include <string>

namespace walltime {

using Clock = std::chrono::system_clock;

// "2024-05-17T14:03:27.418+03:00": ISO 8601 with milliseconds and the zone.
std::string iso8601(Clock::time_point t);
// "14:03:27.418"
std::string timeOfDay(Clock::time_point t);
// The wall-clock time at which a steady-clock moment happened (the protocol
// client times its exchanges on the steady clock).
Clock::time_point fromSteady(std::chrono::steady_clock::time_point t);

}  // namespace walltime
