#include "positionmath.h"

#include <algorithm>
#include <cmath>

#include "numbertext.h"

namespace posmath {

namespace {

// Truncation toward zero that cannot overflow: values far outside any
// display range are first held to a bound that still truncates correctly.
int truncToInt(double x)
{
    if (std::isnan(x))
        return 0;
    x = std::clamp(x, -2.0e9, 2.0e9);
    return static_cast<int>(std::trunc(x));
}

}  // namespace

int effectiveTravel(int travel)
{
    return travel == 0 ? 1 : travel;
}

double percentOf(int pos, int travel)
{
    return static_cast<double>(pos) * 100 / effectiveTravel(travel);
}

int shownPercent(double pct)
{
    return truncToInt(pct + 0.5);
}

int markerLeft(double pct)
{
    const int left = truncToInt(pct * 256 * 0.01 + 88.5);
    return std::clamp(left, MarkerMinLeft, MarkerMaxLeft);
}

std::optional<double> travelMillimetres(int travel, double mmPerStep, int motSteps, int optoBlades)
{
    if (optoBlades == 0)
        return std::nullopt;
    return travel * mmPerStep * motSteps / optoBlades;
}

std::optional<double> millimetres(int travel, double mmPerStep, int motSteps, int optoBlades,
                                  double pct)
{
    const std::optional<double> whole = travelMillimetres(travel, mmPerStep, motSteps, optoBlades);
    if (!whole)
        return std::nullopt;
    return *whole * 0.01 * pct;
}

std::string millimetreText(std::optional<double> mm)
{
    if (!mm || !std::isfinite(*mm))
        return {};
    return numtext::formatFloat(*mm, TFloatFormat::Fixed, 4, 1);
}

int outputGaugePercent(int pos, int travel)
{
    return truncToInt(percentOf(pos, travel) + 0.5);
}

int inputGaugePercent(int inputCurrent)
{
    return truncToInt((inputCurrent - 4000) * 100 * 0.0000625);
}

}  // namespace posmath
