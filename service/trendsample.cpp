#include "trendsample.h"

#include "codes.h"
#include "positionmath.h"

namespace service {

std::optional<double> trendValue(const TrendSample& s, TrendQuantity q)
{
    const auto relay = [&](int k) -> std::optional<double> {
        if (!s.relayStates)
            return std::nullopt;
        return wake::relayOn(*s.relayStates, k) ? 1.0 : 0.0;
    };
    switch (q) {
    case TrendQuantity::Percent: return s.percent;
    case TrendQuantity::Millimetres: return s.millimetres;
    case TrendQuantity::DriveState:
        if (s.driveState)
            return *s.driveState;
        return std::nullopt;
    case TrendQuantity::InputCurrent:
        if (s.inputCurrent)
            return *s.inputCurrent / 1000.0;
        return std::nullopt;
    case TrendQuantity::Relay1: return relay(0);
    case TrendQuantity::Relay2: return relay(1);
    case TrendQuantity::Relay3: return relay(2);
    }
    return std::nullopt;
}

TrendSample sampleFromPoll(const PollSnapshot& snapshot, std::int64_t time, int address,
                           std::optional<int> travelHint, const PositionScale& scale)
{
    TrendSample s;
    s.time = time;
    s.address = address;
    s.position = snapshot.position;
    s.driveState = snapshot.driveState;
    s.driveFlags = snapshot.driveFlags;
    s.inputCurrent = snapshot.inputCurrent;
    s.relayStates = snapshot.relayStates;
    const std::optional<int> travel = snapshot.travel ? snapshot.travel : travelHint;
    if (s.position && travel) {
        const int t = posmath::effectiveTravel(*travel);
        const double pct = posmath::percentOf(*s.position, t);
        s.percent = pct;
        s.millimetres =
            posmath::millimetres(t, scale.mmPerStep, scale.motSteps, scale.optoBlades, pct);
    }
    return s;
}

}  // namespace service
