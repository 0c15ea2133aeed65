// Arithmetic of the position display: percent of the travel, the stem
// marker's place on the position bar, millimetres and the two gauges.
// The handlers of the main window only read, call these and show.
#pragma once

#include <optional>
#include <string>

namespace posmath {

// The travel reported by the drive, with 0 taken as 1 (it is a divisor).
int effectiveTravel(int travel);

// Position in percent of the travel, unrounded.
double percentOf(int pos, int travel);

// The percent field: (pct + 0.5) truncated toward zero.
int shownPercent(double pct);

// Left edge of the stem marker: 0 % at 88, 100 % at 344, held to 4..424.
inline constexpr int MarkerMinLeft = 4;
inline constexpr int MarkerMaxLeft = 424;
int markerLeft(double pct);

// Optical steps to millimetres: travel x mmPerStep x motSteps / optoBlades,
// in this order; none when optoBlades is 0 (nothing guards it in the settings).
std::optional<double> travelMillimetres(int travel, double mmPerStep, int motSteps, int optoBlades);

// Millimetres of the position: the travel's millimetres x 0.01 x pct; none
// when optoBlades is 0.
std::optional<double> millimetres(int travel, double mmPerStep, int motSteps, int optoBlades,
                                  double pct);

// The millimetre field: one decimal, 4 significant digits, "." as the
// separator; empty when there are no millimetres or the value is not finite.
std::string millimetreText(std::optional<double> mm);

// The current-output gauge: the position in percent, (x + 0.5) truncated.
int outputGaugePercent(int pos, int travel);

// The current-input gauge: 4000 uA at 0 %, 20000 uA at 100 %, truncated
// (not rounded); not held to 0..100 here, the gauge does that.
int inputGaugePercent(int inputCurrent);

}  // namespace posmath
