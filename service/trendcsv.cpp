#include "trendcsv.h"

#include <cstdio>
#include <type_traits>
#include <vector>

#include "codes.h"
#include "csv.h"
#include "drivestate.h"
#include "trendrecord.h"

namespace service {

const char* const TrendCsvHeader =
    "time;address;position;percent;mm;state;state_text;flags;input_mA;relays;command";

namespace {

std::string number(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

template <class T>
std::string field(const std::optional<T>& v, int decimals = 0)
{
    if (!v)
        return {};
    if constexpr (std::is_integral_v<T>)
        return std::to_string(*v);
    else
        return number(*v, decimals);
}

// "101": relay 1 and 3 on, one digit per relay in relay order.
std::string relayText(const std::optional<int>& states)
{
    if (!states)
        return {};
    std::string out;
    for (int k = 0; k < wake::RelayCount; ++k)
        out += wake::relayOn(*states, k) ? '1' : '0';
    return out;
}

}  // namespace

std::string motionCommandText(int motionCode)
{
    switch (motionCode) {
    case wake::CmdOpen: return "Открыть";
    case wake::CmdClose: return "Закрыть";
    case wake::CmdStop: return "Стоп";
    case wake::CmdStopOff: return "Стоп/откл.";
    default: return std::to_string(motionCode);
    }
}

void writeTrendCsv(std::ostream& out, const TrendRecord& record,
                   const std::function<std::string(std::int64_t)>& timeText)
{
    out << TrendCsvHeader << '\n';
    const auto& samples = record.samples();
    const auto& markers = record.markers();
    auto s = samples.begin();
    auto m = markers.begin();
    while (s != samples.end() || m != markers.end()) {
        std::vector<std::string> row;
        // A command given at the time of a reading comes first: it was sent
        // before that tick's answers came.
        if (m != markers.end() && (s == samples.end() || m->time <= s->time)) {
            row = {timeText(m->time),
                   std::to_string(m->address),
                   {},
                   {},
                   {},
                   {},
                   {},
                   {},
                   {},
                   {},
                   motionCommandText(m->motionCode)};
            ++m;
        } else {
            const char* state = s->driveState ? drivestate::text(*s->driveState) : nullptr;
            row = {timeText(s->time),
                   std::to_string(s->address),
                   field(s->position),
                   field(s->percent, 1),
                   field(s->millimetres, 2),
                   field(s->driveState),
                   state ? state : "",
                   s->driveFlags ? drivestate::flagsText(*s->driveFlags) : std::string(),
                   s->inputCurrent ? number(*s->inputCurrent / 1000.0, 3) : std::string(),
                   relayText(s->relayStates),
                   {}};
            ++s;
        }
        out << service::csv::line(row) << '\n';
    }
}

}  // namespace service
