// Motion commands to one actuator, and following a stroke to its end.
#pragma once

#include <chrono>
#include <functional>

class TWakePort;

namespace service {

void sendMotion(TWakePort& port, int address, int motionCode);
// SetN 0: the position counter starts again from the closed end.
void resetPosition(TWakePort& port, int address);

struct StrokeResult {
    bool ended = false;  // false: still moving when the time ran out, or cancelled
    std::chrono::duration<double> elapsed{};
    int driveState = 0;
    int driveFlags = 0;
    int position = 0;
};

struct FollowOptions {
    std::chrono::milliseconds interval{200};  // between two readings
    std::chrono::milliseconds timeout{600000};
    std::function<bool()> cancelled;
    // Each reading (state, flags, position) as it comes.
    std::function<void(int driveState, int driveFlags, int position)> reading;
};

// Sends the motion code, then reads GetS and GetN until the drive is at rest.
// The stroke time runs from the command to the first reading at rest.
StrokeResult runStroke(TWakePort& port, int address, int motionCode, const FollowOptions& options);

}  // namespace service
