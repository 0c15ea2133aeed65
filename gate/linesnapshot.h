// What the poll loop last read of every actuator of the line, shared with
// the MQTT and Modbus sides, which only ever read a copy and never wait for
// the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct ActuatorReading {
    int address = 0;
    std::string type;  // the GetInfo text
    bool online = false;
    std::optional<int> position;  // optical steps
    std::optional<int> travel;    // Nt as reported
    std::optional<int> driveState;
    std::optional<int> driveFlags;
    std::optional<int> inputCurrent;  // microamperes
    std::optional<int> relayStates;
    // The last complete reading (position, state, current) that succeeded.
    std::optional<std::chrono::steady_clock::time_point> lastGood;
    std::optional<std::chrono::system_clock::time_point> lastGoodWall;
};

struct LineSnapshot {
    bool portOpen = false;
    std::uint64_t cycle = 0;  // finished poll cycles
    std::uint64_t scans = 0;  // finished searches for the actuators (at start, on request)
    std::vector<ActuatorReading> actuators;

    const ActuatorReading* find(int address) const
    {
        for (const auto& a : actuators)
            if (a.address == address)
                return &a;
        return nullptr;
    }
};

class SnapshotStore {
public:
    void set(LineSnapshot snapshot)
    {
        std::lock_guard lock(mutex_);
        snapshot_ = std::move(snapshot);
    }
    LineSnapshot get() const
    {
        std::lock_guard lock(mutex_);
        return snapshot_;
    }

private:
    mutable std::mutex mutex_;
    LineSnapshot snapshot_;
};
