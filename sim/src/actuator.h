// One simulated actuator: its state, its motion sequence in simulated time,
// its relays and the device side of every command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codes.h"
#include "commands.h"
#include "deviceerror.h"
#include "sim/simline.h"

namespace sim {

// The optical disc has OptoBlades blades per MotSteps motor steps.
inline constexpr int MotSteps = 200;
inline constexpr int OptoBlades = 8;
inline constexpr int MotorStepsPerOptical = MotSteps / OptoBlades;  // 25

// The device side speaks the same vocabulary as the program.
inline constexpr std::uint8_t ErrNone = std::uint8_t(wake::DeviceError::None);
inline constexpr std::uint8_t ErrBadPacket = std::uint8_t(wake::DeviceError::BadPacket);
inline constexpr std::uint8_t ErrBadParams = std::uint8_t(wake::DeviceError::BadParams);
namespace drive = wake::drive;
namespace flag = wake::flag;
using cmd = wake::Command;

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
    int direction_ = 0;     // +1 opening, -1 closing
    double target_ = 0;     // motor steps, end of the current phase
    int speed_ = 0;         // motor steps per second in the current phase
    double motorFrac_ = 0;  // motor steps beyond N * MotorStepsPerOptical
    int knownN_ = 0;        // N as the model last wrote it
    bool powered_ = true;
};

}  // namespace sim
