// The actuator's codes and bit fields: what each byte of a state, flag or
// status answer means, and the fixed bytes of an address assignment.
#pragma once

#include <cstdint>

namespace wake {

// The one byte of SetS.
enum MotionCode : int { CmdStopOff = 0, CmdStop = 4, CmdOpen = 5, CmdClose = 6 };

// The highest address on a line; 0 addresses every actuator at once.
inline constexpr int MaxAddress = 127;

// The two bytes that must precede the new address in SetAddr, so that noise
// cannot change an actuator's address.
inline constexpr std::uint8_t SetAddrPrefix[2] = {0x5C, 0xA3};

// DriveState: the step of the drive's motion sequence (first byte of GetS).
namespace drive {
inline constexpr int Stopped = 0, Opening = 1, Closing = 2, BacklashOpen = 3, BacklashClose = 4,
                     LockingOpen = 5, LockingClose = 6, OpenFinished = 7, CloseFinished = 8,
                     UnlockingOpen = 9, UnlockingClose = 10, CalibrateOpen = 11,
                     CalibrateClose = 12;
}

// DriveFlags (second byte of GetS).
namespace flag {
inline constexpr int OpenCmd = 0x01, CloseCmd = 0x02, Limo = 0x04, Limc = 0x08, Pc = 0x10;
}

// WorkStatus (last byte of GetW): bits 0-1 the working speed in effect (0 is
// speed 1), bits 4-5 the locking-zone marks.
namespace workstatus {
inline constexpr int SpeedMask = 0x03;
inline constexpr int ZoneShift = 4;
inline constexpr int ZoneMask = 0x03;  // after the shift
inline constexpr int UpperZoneInactive = 1, LowerZoneInactive = 2;
}  // namespace workstatus

// RelayStates (GetRS): bit k set while relay k+1 is switched on.
inline constexpr int RelayCount = 3;
inline constexpr bool relayOn(int relayStates, int relay)
{
    return (relayStates >> relay) & 1;
}

// RelayConfig's mode byte.
enum RelayMode : int { RelayOff = 0, RelayCurrentInput = 1, RelayCurrentOutput = 2 };

}  // namespace wake
