#include "paramfile.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "inifile.h"

namespace paramfile {

ParamValues read(const IniImage& ini)
{
    ParamValues values{};
    for (std::size_t i = 0; i < ParamCount; ++i) {
        const ParamKey& k = ParamKeys[i];
        values[i] = static_cast<double>(ini.readInteger(k.section, k.key, k.defaultValue));
    }
    return values;
}

void write(IniImage& ini, const ParamValues& values)
{
    for (std::size_t i = 0; i < ParamCount; ++i) {
        const ParamKey& k = ParamKeys[i];
        ini.writeInteger(k.section, k.key, truncateValue(values[i]));
    }
}

long long truncateValue(double value)
{
    // Fields hold clamped values; the guards only keep a stray NaN or a huge
    // number from being undefined behaviour.
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double limit = 9.0e18;
    if (value >= limit) {
        return std::numeric_limits<long long>::max();
    }
    if (value <= -limit) {
        return std::numeric_limits<long long>::min();
    }
    return static_cast<long long>(std::trunc(value));
}

long long fieldValue(const ParamKey& key, double value)
{
    if (std::isnan(value)) {
        return truncateValue(key.fieldMin);
    }
    return truncateValue(std::clamp(value, key.fieldMin, key.fieldMax));
}

}  // namespace paramfile
