// Every actuator of the last scan at a glance: state, flags and position,
// refreshed one reading at a time in turn, so that the line carries at most
// one extra exchange between two polls of the selected actuator. The
// selected actuator's row is filled from its own poll.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "pollsnapshot.h"

class TWakePort;

namespace service {

struct LineDevice {
    int address = 0;
    std::string type;  // the type text the scan found
};

struct LineEntry {
    int address = 0;
    std::string type;
    std::optional<int> driveState;
    std::optional<int> driveFlags;
    std::optional<int> position;  // optical steps
    std::optional<int> travel;
    std::optional<std::chrono::steady_clock::time_point> lastAnswer;
    bool silent = false;  // the last exchange with it failed

    // Position in percent as the position page shows it, when known.
    std::optional<int> percent() const;
};

enum class LineReading { Travel, State, Position };

struct LineRequest {
    int address = 0;
    LineReading reading = LineReading::State;
};

class LineOverview {
public:
    using Clock = std::chrono::steady_clock;

    // The actuators to show, in this order; the readings of those that stay
    // are kept.
    void setDevices(const std::vector<LineDevice>& devices);
    void setSelected(int address);
    int selected() const { return selected_; }
    const std::vector<LineEntry>& entries() const { return entries_; }
    const LineEntry* find(int address) const;

    // The next reading of the round: each actuator but the selected one in
    // turn, its travel first while unknown (and now and then after), then
    // its state, then its position. Nothing when there is no other actuator.
    std::optional<LineRequest> next();
    void answered(const LineRequest& request, int value, int flags, Clock::time_point now);
    // The actuator did not answer: the rest of its readings wait for the
    // next round.
    void failed(int address);
    // What the selected actuator's tick read.
    void pollRead(int address, const PollSnapshot& snapshot, Clock::time_point now);

    // How many rounds pass between two readings of a known travel.
    static constexpr int TravelEvery = 16;

private:
    LineEntry* entry(int address);

    std::vector<LineEntry> entries_;
    int selected_ = 0;
    std::size_t cursor_ = 0;  // the entry whose readings are under way
    int step_ = 0;            // the next reading of that entry: 0 travel, 1 state, 2 position
    int round_ = 0;
};

// Makes the round's next reading at its address, then gives the client its
// address back. False when there was nothing to read.
bool refreshNext(TWakePort& port, LineOverview& overview, LineOverview::Clock::time_point now);

}  // namespace service
