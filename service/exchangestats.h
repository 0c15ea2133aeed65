// Per-address counters of the exchanges on the line: how many, how many
// failed and how, and the round trip of those that brought a frame back
// (median and worst). Memory stays the same however long the line runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

#include "exchangerecord.h"

namespace service {

// Round trips counted in buckets: 0.1 ms wide up to 100 ms, 1 ms wide up
// to 2 s, then one bucket for all that is longer.
class RoundTripHistogram {
public:
    void add(std::chrono::steady_clock::duration d);
    std::uint64_t count() const { return count_; }
    double medianMs() const;  // the middle of the median's bucket; 0 when empty
    double worstMs() const { return worstMs_; }

private:
    std::vector<std::uint32_t> buckets_;  // allocated with the first round trip
    std::uint64_t count_ = 0;
    double worstMs_ = 0;
};

struct AddressCounters {
    std::uint64_t exchanges = 0;
    std::uint64_t deviceErrors = 0;
    std::uint64_t noAnswers = 0;
    std::uint64_t wrongAnswers = 0;
    std::uint64_t noPort = 0;
    std::uint64_t damagedAnswers = 0;
    // Frames skipped as not the exchange's answer (late or foreign answers),
    // whatever the exchange's outcome: a slow actuator shows here.
    std::uint64_t skippedFrames = 0;
    RoundTripHistogram roundTrips;
    // The longest an answer took, late ones included: a late answer counts
    // from its request to the end of the exchange that brought it, so an
    // engineer sees how long a time-out this actuator needs.
    double worstAnswerMs = 0;
    std::uint64_t failures() const
    {
        return deviceErrors + noAnswers + wrongAnswers + noPort + damagedAnswers;
    }
};

class ExchangeStats {
public:
    void add(const ExchangeRecord& r);
    void clear();
    const std::map<int, AddressCounters>& byAddress() const { return byAddress_; }
    // Grows with every change, so that a display redraws only when needed.
    std::uint64_t generation() const { return generation_; }

private:
    struct Unanswered {
        int command = 0;
        std::chrono::steady_clock::time_point start;
    };
    std::map<int, AddressCounters> byAddress_;
    // Per address, the request that timed out last: a later exchange may
    // bring its late answer.
    std::map<int, Unanswered> unanswered_;
    std::uint64_t generation_ = 0;
};

}  // namespace service
