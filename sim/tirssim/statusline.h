// The one-line live status of an actuator that tirssim shows.
#pragma once

#include <string>

#include "sim/simline.h"

namespace tirssim {

// The text of a DriveState code; empty for codes that have none.
std::string driveStateText(int code);
std::string statusLine(const sim::ActuatorState& s);

}  // namespace tirssim
