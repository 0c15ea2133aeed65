// One simulated actuator: its state, its motion sequence in simulated time,
// its relays and the device side of every command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/simline.h"

namespace sim {

// The optical disc has OptoBlades blades per MotSteps motor steps.
inline constexpr int MotSteps = 200;
inline constexpr int OptoBlades = 8;
inline constexpr int MotorStepsPerOptical = MotSteps / OptoBlades;  // 25

// Device error codes the actuator answers with.
inline constexpr std::uint8_t ErrNone = 0;
inline constexpr std::uint8_t ErrBadPacket = 1;
inline constexpr std::uint8_t ErrBadParams = 4;

inline constexpr std::uint8_t SetAddrPrefix0 = 0x5C;
inline constexpr std::uint8_t SetAddrPrefix1 = 0xA3;

namespace cmd {
inline constexpr int GetInfo = 3, SetAddr = 4, SetM = 6, GetM = 7, SetA = 8, GetA = 9, SetP = 10,
                     GetP = 11, SetL = 12, GetL = 13, SetW = 14, GetW = 15, SetS = 16, GetS = 17,
                     SetN = 18, GetN = 19, SetT = 20, GetT = 21, GetI = 22, SetR = 23, GetR = 24,
                     GetRS = 25;
}

namespace motion {
inline constexpr int StopOff = 0, Stop = 4, Open = 5, Close = 6;
}

namespace drive {
inline constexpr int Stopped = 0, Opening = 1, Closing = 2, BacklashOpen = 3, BacklashClose = 4,
                     LockingOpen = 5, LockingClose = 6, OpenFinished = 7, CloseFinished = 8,
                     UnlockingOpen = 9, UnlockingClose = 10;
}

namespace flag {
inline constexpr int OpenCmd = 0x01, CloseCmd = 0x02, Limo = 0x04, Limc = 0x08, Pc = 0x10;
}

// WorkStatus bits 4-5: 1 marks the upper zone inactive, 2 the lower one.
inline constexpr int WorkSpeedMask = 0x03;
inline constexpr int ZoneBitsShift = 4;

class Actuator {
public:
    Actuator(int address, const std::string& info);

    ActuatorState state;
    Faults faults;
    int requestsSeen = 0;  // for Faults::silentEvery

    // Runs the motion model for that much simulated time, then updates the
    // limit-switch flags and the relays.
    void advance(double seconds);

    // Carries out one request and gives the answer's data (error byte first,
    // except GetInfo). Faults are not applied here.
    std::vector<std::uint8_t> execute(int command, const std::vector<std::uint8_t>& data);

    // Relay states and flags from the current values, without moving.
    void refresh();

private:
    enum class Phase { Idle, Unlock, Backlash, Move, Lock };

    void syncCounter();
    void startMotion(int direction);
    void stopMotion(bool switchOff);
    void enterPhase(Phase phase);
    void finishAtEnd();
    double endMotor() const { return double(state.Nt) * MotorStepsPerOptical; }
    double motorPosition() const;
    void setMotorPosition(double steps);
    int workingSpeed() const;
    bool zoneActive(bool upper) const;
    void updateRelays();

    Phase phase_ = Phase::Idle;
    int direction_ = 0;      // +1 opening, -1 closing
    double target_ = 0;      // motor steps, end of the current phase
    int speed_ = 0;          // motor steps per second in the current phase
    double motorFrac_ = 0;   // motor steps beyond N * MotorStepsPerOptical
    int knownN_ = 0;         // N as the model last wrote it
    bool powered_ = true;
};

}  // namespace sim
