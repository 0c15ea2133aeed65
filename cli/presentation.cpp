#include "presentation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "codes.h"
#include "drivestate.h"
#include "positionmath.h"

namespace {

std::string relayBits(int states)
{
    std::string bits;
    for (int k = 0; k < wake::RelayCount; ++k)
        bits += wake::relayOn(states, k) ? '1' : '0';
    return bits;
}

std::string flagOrDash(const std::string& flags)
{
    return flags.empty() ? "-" : flags;
}

}  // namespace

void printJson(const Json& value, bool oneLine)
{
    std::cout << value.dump(oneLine ? -1 : 2, ' ', false, Json::error_handler_t::replace) << '\n';
}

StatusView viewOf(const service::StatusReading& r, const service::LineSettings& s)
{
    // As the position page: the percent of the travel with 0 taken as 1, the
    // millimetres of that travel; no millimetres when OptoBlades is 0.
    const int travel = posmath::effectiveTravel(r.travel);
    const double pct = posmath::percentOf(r.position, r.travel);
    const std::optional<double> mm =
        posmath::millimetres(travel, s.mmPerStep, s.motSteps, s.optoBlades, pct);
    return StatusView{
        drivestate::text(r.driveState),
        drivestate::flagsText(r.driveFlags),
        posmath::shownPercent(pct),
        posmath::millimetreText(mm),
        mm,
        posmath::millimetreText(
            posmath::travelMillimetres(r.travel, s.mmPerStep, s.motSteps, s.optoBlades)),
        std::clamp(posmath::inputGaugePercent(r.inputCurrent), 0, 100),
    };
}

std::vector<std::string> statusLines(int address, const std::string& name,
                                     const service::StatusReading& r,
                                     const service::LineSettings& s)
{
    const StatusView v = viewOf(r, s);
    std::string relays;
    for (int k = 0; k < wake::RelayCount; ++k)
        relays += (k ? ", " : "") + std::to_string(k + 1) +
                  (wake::relayOn(r.relayStates, k) ? " вкл" : " выкл");
    const std::string state = v.stateText ? v.stateText : "код " + std::to_string(r.driveState);
    return {
        "Адрес:           " + std::to_string(address) + (name.empty() ? "" : " (" + name + ")"),
        "Состояние:       " + state,
        "Флаги:           " + flagOrDash(v.flags),
        "Положение:       " + std::to_string(r.position) + " шаг. опт., " +
            std::to_string(v.percent) + " %, " + v.mm + " мм",
        "Ход LIMC–LIMO:   " + std::to_string(r.travel) + " шаг. опт., " + v.travelMm + " мм",
        "Зоны запирания:  верхн. " + std::to_string(r.upperZone) + ", нижн. " +
            std::to_string(r.lowerZone) + " шагов",
        "Токовый вход:    " + std::to_string(r.inputCurrent) + " мкА, " +
            std::to_string(v.inputPercent) + " %",
        "Реле:            " + relays,
    };
}

Json statusJson(int address, const service::StatusReading& r, const service::LineSettings& s)
{
    const StatusView v = viewOf(r, s);
    Json flagNames = Json::array();
    for (int bit = 0; bit < 5; ++bit)
        if (r.driveFlags & (1 << bit))
            flagNames.push_back(drivestate::flagsText(1 << bit));
    Json relays = Json::array();
    for (int k = 0; k < wake::RelayCount; ++k)
        relays.push_back(wake::relayOn(r.relayStates, k));
    return Json{{"address", address},
                {"state", r.driveState},
                {"stateText", v.stateText ? Json(v.stateText) : Json(nullptr)},
                {"flags", r.driveFlags},
                {"flagNames", flagNames},
                {"position", r.position},
                {"percent", v.percent},
                {"mm", v.mmValue ? Json(std::round(*v.mmValue * 10) / 10) : Json(nullptr)},
                {"travel", r.travel},
                {"upperZone", r.upperZone},
                {"lowerZone", r.lowerZone},
                {"inputCurrent", r.inputCurrent},
                {"inputPercent", v.inputPercent},
                {"relays", relays}};
}

std::string statusWatchLine(const std::string& time, const service::StatusReading& r,
                            const service::LineSettings& s)
{
    const StatusView v = viewOf(r, s);
    const std::string state = v.stateText ? v.stateText : "код " + std::to_string(r.driveState);
    return time + "  " + state + "  " + flagOrDash(v.flags) + "  N=" + std::to_string(r.position) +
           "  " + std::to_string(v.percent) + " %  " + v.mm + " мм  вход " +
           std::to_string(v.inputPercent) + " %  реле " + relayBits(r.relayStates);
}

std::string statusCsvHeader()
{
    return "time;address;state;stateText;flags;position;percent;mm;travel;inputCurrent;relays";
}

std::string statusCsvRow(const std::string& time, int address, const service::StatusReading& r,
                         const service::LineSettings& s)
{
    const StatusView v = viewOf(r, s);
    char flags[8];
    std::snprintf(flags, sizeof flags, "0x%02X", r.driveFlags & 0xFF);
    return time + ";" + std::to_string(address) + ";" + std::to_string(r.driveState) + ";" +
           (v.stateText ? v.stateText : "") + ";" + flags + ";" + std::to_string(r.position) + ";" +
           std::to_string(v.percent) + ";" + v.mm + ";" + std::to_string(r.travel) + ";" +
           std::to_string(r.inputCurrent) + ";" + relayBits(r.relayStates);
}

Json paramsJson(const service::ParamSet& values)
{
    Json out = Json::object();
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k)
        out[std::string(paramfile::ParamKeys[k].key)] = values[k];
    return out;
}

void printDifferences(const std::vector<service::Difference>& differences,
                      const std::string& indent)
{
    for (const service::Difference& d : differences)
        std::cout << indent << d.key << ' ' << d.device << ' ' << d.wanted << '\n';
}

Json differencesJson(const std::vector<service::Difference>& differences)
{
    Json out = Json::array();
    for (const service::Difference& d : differences)
        out.push_back({{"key", d.key}, {"device", d.device}, {"file", d.wanted}});
    return out;
}

std::string relayText(int relay, const service::RelaySetting& r)
{
    const char* mode = service::relayModeText(r.mode);
    return "реле " + std::to_string(relay) + ": " +
           (mode ? std::string(mode) : "режим " + std::to_string(r.mode)) + ", вкл. от " +
           std::to_string(r.min) + " % до " + std::to_string(r.max) + " %, гист. " +
           std::to_string(r.hyst) + " %";
}

Json relaysJson(const service::RelaySet& relays)
{
    Json out = Json::array();
    for (int k = 0; k < 3; ++k) {
        const char* mode = service::relayModeText(relays[k].mode);
        out.push_back({{"relay", k + 1},
                       {"mode", relays[k].mode},
                       {"modeText", mode ? Json(mode) : Json(nullptr)},
                       {"min", relays[k].min},
                       {"max", relays[k].max},
                       {"hyst", relays[k].hyst}});
    }
    return out;
}
