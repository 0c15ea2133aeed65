#include "trendrecord.h"

#include <algorithm>

#include "commands.h"
#include "isotime.h"

namespace service {

namespace {

// Fills what `into` lacks from `from`, so that a thinned sample keeps every
// quantity that its span had.
void fillMissing(TrendSample& into, const TrendSample& from)
{
    const auto fill = [](auto& a, const auto& b) {
        if (!a)
            a = b;
    };
    fill(into.position, from.position);
    fill(into.percent, from.percent);
    fill(into.millimetres, from.millimetres);
    fill(into.driveState, from.driveState);
    fill(into.driveFlags, from.driveFlags);
    fill(into.inputCurrent, from.inputCurrent);
    fill(into.relayStates, from.relayStates);
}

std::int64_t bucketOf(std::int64_t time, std::int64_t step)
{
    // Floor division, also for times before the epoch.
    return time >= 0 ? time / step : -((-time + step - 1) / step);
}

}  // namespace

std::optional<TrendMarker> motionMarker(const ExchangeRecord& record)
{
    if (record.command != static_cast<int>(wake::Command::SetS) || record.request.empty() ||
        record.outcome == ExchangeOutcome::NoPort)
        return std::nullopt;
    const auto wall = service::wallClockAt(record.start);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch());
    return TrendMarker{ms.count(), record.address, record.request[0]};
}

TrendRecord::TrendRecord(TrendLimits limits) : limits_(limits) {}

void TrendRecord::add(TrendSample sample)
{
    sample.breakBefore = true;
    if (!samples_.empty()) {
        const TrendSample& last = samples_.back();
        if (sample.time < last.time)
            sample.time = last.time;
        else
            sample.breakBefore =
                sample.address != last.address || sample.time - last.time > limits_.maxGap;
    }
    samples_.push_back(std::move(sample));
    thin();
}

void TrendRecord::addPoll(const PollSnapshot& snapshot, std::int64_t time, int address,
                          const PositionScale& scale)
{
    if (snapshot.travel)
        travel_[address] = *snapshot.travel;
    const auto known = travel_.find(address);
    const std::optional<int> hint =
        known != travel_.end() ? std::optional<int>(known->second) : std::nullopt;
    add(sampleFromPoll(snapshot, time, address, hint, scale));
}

void TrendRecord::addMarker(const TrendMarker& marker)
{
    markers_.push_back(marker);
    const std::int64_t oldest = marker.time - limits_.horizon;
    while (!markers_.empty() &&
           (markers_.front().time < oldest || markers_.size() > limits_.maxMarkers))
        markers_.pop_front();
}

void TrendRecord::clear()
{
    samples_.clear();
    markers_.clear();
    coarseEnd_ = 0;
}

void TrendRecord::thin()
{
    const std::int64_t now = samples_.back().time;
    while (!samples_.empty() && samples_.front().time < now - limits_.horizon) {
        samples_.pop_front();
        if (coarseEnd_ > 0)
            --coarseEnd_;
    }
    const std::int64_t fineFrom = now - limits_.fineSpan;
    while (coarseEnd_ < samples_.size() && samples_[coarseEnd_].time < fineFrom) {
        TrendSample& next = samples_[coarseEnd_];
        if (coarseEnd_ > 0) {
            TrendSample& kept = samples_[coarseEnd_ - 1];
            if (kept.address == next.address && bucketOf(kept.time, limits_.coarseStep) ==
                                                    bucketOf(next.time, limits_.coarseStep)) {
                // The later reading stands for the bucket.
                const bool broken = kept.breakBefore || next.breakBefore;
                fillMissing(next, kept);
                next.breakBefore = broken;
                kept = std::move(next);
                samples_.erase(samples_.begin() + static_cast<std::ptrdiff_t>(coarseEnd_));
                continue;
            }
        }
        ++coarseEnd_;
    }
}

std::vector<TrendLine> TrendRecord::lines(TrendQuantity q, int address, std::int64_t from,
                                          std::int64_t to, bool step) const
{
    std::vector<TrendLine> out;
    // Start at the last reading before `from`, so that a line reaches the
    // left edge of the window.
    auto it = std::lower_bound(samples_.begin(), samples_.end(), from,
                               [](const TrendSample& s, std::int64_t t) { return s.time < t; });
    while (it != samples_.begin()) {
        --it;
        if (it->address == address)
            break;
    }
    bool open = false;
    double last = 0;
    for (; it != samples_.end() && it->time <= to; ++it) {
        if (it->address != address)
            continue;
        const std::optional<double> v = trendValue(*it, q);
        if (!v || it->breakBefore)
            open = false;
        if (!v)
            continue;
        if (!open) {
            out.emplace_back();
            open = true;
        } else if (step && *v != last) {
            out.back().push_back({it->time, last});
        }
        out.back().push_back({it->time, *v});
        last = *v;
    }
    return out;
}

std::optional<double> TrendRecord::valueAt(TrendQuantity q, int address, std::int64_t time) const
{
    auto it = std::upper_bound(samples_.begin(), samples_.end(), time,
                               [](std::int64_t t, const TrendSample& s) { return t < s.time; });
    while (it != samples_.begin()) {
        --it;
        if (it->address != address)
            continue;
        if (const auto v = trendValue(*it, q))
            return v;
    }
    return std::nullopt;
}

}  // namespace service
