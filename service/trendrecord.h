// The record behind the trends: the selected actuator's readings over time
// and the motion commands given, bounded in memory. Every reading of the
// last fineSpan is kept; older ones are thinned to one per coarseStep, and
// nothing older than the horizon stays.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "exchangerecord.h"
#include "trendsample.h"

namespace service {

// A motion command sent to an actuator.
struct TrendMarker {
    std::int64_t time = 0;  // ms since the epoch
    int address = 0;
    int motionCode = 0;  // MotionCode
};

// The motion command of an exchange that sent one (SetS, answered or not),
// timed by the wall clock.
std::optional<TrendMarker> motionMarker(const ExchangeRecord& record);

struct TrendPoint {
    std::int64_t time = 0;
    double value = 0;
};
using TrendLine = std::vector<TrendPoint>;

struct TrendLimits {
    std::int64_t fineSpan = 60 * 60 * 1000;
    std::int64_t coarseStep = 10 * 1000;
    std::int64_t horizon = 24 * 60 * 60 * 1000;
    // A longer pause between two readings breaks the line (the actuator
    // did not answer, or nobody polled it).
    std::int64_t maxGap = 3000;
    std::size_t maxMarkers = 10000;
};

class TrendRecord {
public:
    explicit TrendRecord(TrendLimits limits = {});

    // Appends a reading; times run forward (an earlier one is taken as the
    // last time, after a break).
    void add(TrendSample sample);
    // A tick's readings at that address. Keeps each address's last travel
    // for the ticks that do not read it.
    void addPoll(const PollSnapshot& snapshot, std::int64_t time, int address,
                 const PositionScale& scale);
    void addMarker(const TrendMarker& marker);
    // A travel has been read at the address (the percentage can be had).
    bool knowsTravel(int address) const { return travel_.count(address) != 0; }
    void clear();

    const std::deque<TrendSample>& samples() const { return samples_; }
    const std::deque<TrendMarker>& markers() const { return markers_; }
    const TrendLimits& limits() const { return limits_; }

    // One quantity of one actuator from `from` to `to`, as lines that break
    // where a reading is missing or the readings paused. With step, each
    // value holds until the next (states and relays).
    std::vector<TrendLine> lines(TrendQuantity q, int address, std::int64_t from, std::int64_t to,
                                 bool step) const;
    // The value of the latest reading at or before `time` that has one.
    std::optional<double> valueAt(TrendQuantity q, int address, std::int64_t time) const;

private:
    void thin();

    TrendLimits limits_;
    std::deque<TrendSample> samples_;
    std::size_t coarseEnd_ = 0;  // samples_[0, coarseEnd_) are thinned already
    std::deque<TrendMarker> markers_;
    std::map<int, int> travel_;  // the last travel read, by address
};

}  // namespace service
