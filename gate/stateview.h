// What the outside sees of an actuator's reading: the MQTT state message and
// the Modbus input registers, both from one snapshot entry.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "linesnapshot.h"
#include "linesettings.h"

// The state topic's JSON text (without the time when withTime is false, so
// that two readings can be compared for a change).
std::string stateJson(const ActuatorReading& a, const service::LineSettings& settings,
                      bool withTime = true);

inline constexpr int InputRegisterCount = 10;
// 0 position, 1 tenths of a percent, 2 state, 3 flags, 4 input current,
// 5 online, 6-8 relays, 9 seconds since the last good reading.
std::array<std::uint16_t, InputRegisterCount>
inputRegisters(const ActuatorReading& a, std::chrono::steady_clock::time_point now);
