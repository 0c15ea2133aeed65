#include "motion.h"

#include <thread>

#include "addressscope.h"
#include "status.h"
#include "wakeport.h"

namespace service {

void sendMotion(TWakePort& port, int address, int motionCode)
{
    AddressScope scope(port, address);
    port.SetS(motionCode);
}

void resetPosition(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    port.SetN(0);
}

StrokeResult runStroke(TWakePort& port, int address, int motionCode, const FollowOptions& options)
{
    using Clock = std::chrono::steady_clock;
    AddressScope scope(port, address);
    const Clock::time_point start = Clock::now();
    port.SetS(motionCode);
    StrokeResult result;
    for (;;) {
        const DriveStatus drive = port.GetS();
        result.driveState = drive.state;
        result.driveFlags = drive.flags;
        result.position = port.GetN();
        result.elapsed = Clock::now() - start;
        if (options.reading)
            options.reading(result.driveState, result.driveFlags, result.position);
        if (atRest(result.driveState, result.driveFlags)) {
            result.ended = true;
            return result;
        }
        if (result.elapsed >= options.timeout || (options.cancelled && options.cancelled()))
            return result;
        std::this_thread::sleep_for(options.interval);
    }
}

}  // namespace service
