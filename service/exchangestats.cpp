#include "exchangestats.h"

#include <algorithm>

namespace service {

namespace {

constexpr int FineBuckets = 1000;    // 0.1 ms each, up to 100 ms
constexpr int CoarseBuckets = 1900;  // 1 ms each, 100 ms to 2 s
constexpr int Buckets = FineBuckets + CoarseBuckets + 1;

int bucketOf(double ms)
{
    if (ms < 100.0)
        return std::max(0, int(ms * 10.0));
    return std::min(Buckets - 1, FineBuckets + int(ms - 100.0));
}

double middleOf(int bucket)
{
    if (bucket < FineBuckets)
        return (bucket + 0.5) / 10.0;
    return 100.0 + (bucket - FineBuckets) + 0.5;
}

}  // namespace

void RoundTripHistogram::add(std::chrono::steady_clock::duration d)
{
    const double ms = std::chrono::duration<double, std::milli>(d).count();
    if (buckets_.empty())
        buckets_.assign(Buckets, 0);
    ++buckets_[std::size_t(bucketOf(ms))];
    ++count_;
    worstMs_ = std::max(worstMs_, ms);
}

double RoundTripHistogram::medianMs() const
{
    if (count_ == 0)
        return 0;
    const std::uint64_t half = (count_ + 1) / 2;
    std::uint64_t seen = 0;
    for (int b = 0; b < Buckets; ++b) {
        seen += buckets_[std::size_t(b)];
        if (seen >= half)
            return std::min(middleOf(b), worstMs_);
    }
    return worstMs_;
}

void ExchangeStats::add(const ExchangeRecord& r)
{
    AddressCounters& c = byAddress_[r.address];
    ++c.exchanges;
    switch (r.outcome) {
    case ExchangeOutcome::Answer: break;
    case ExchangeOutcome::DeviceError: ++c.deviceErrors; break;
    case ExchangeOutcome::NoAnswer: ++c.noAnswers; break;
    case ExchangeOutcome::WrongAnswer: ++c.wrongAnswers; break;
    case ExchangeOutcome::NoPort: ++c.noPort; break;
    case ExchangeOutcome::DamagedAnswer: ++c.damagedAnswers; break;
    }
    c.skippedFrames += r.skipped.size();
    // A time-out or an exchange that never went out is no round trip.
    if (r.outcome != ExchangeOutcome::NoAnswer && r.outcome != ExchangeOutcome::NoPort) {
        c.roundTrips.add(r.duration);
        c.worstAnswerMs = std::max(c.worstAnswerMs, c.roundTrips.worstMs());
        unanswered_.erase(r.address);
    } else if (r.outcome == ExchangeOutcome::NoAnswer) {
        unanswered_[r.address] = {r.command, r.start};
    }
    // The late answers this exchange skipped, timed from their own request.
    const auto end = r.start + r.duration;
    for (const SkippedFrame& f : r.skipped) {
        const auto late = unanswered_.find(f.address);
        if (late == unanswered_.end() || late->second.command != f.command)
            continue;
        const double ms =
            std::chrono::duration<double, std::milli>(end - late->second.start).count();
        AddressCounters& slow = byAddress_[f.address];
        slow.worstAnswerMs = std::max(slow.worstAnswerMs, ms);
        unanswered_.erase(late);
    }
    ++generation_;
}

void ExchangeStats::clear()
{
    byAddress_.clear();
    unanswered_.clear();
    ++generation_;
}

}  // namespace service
