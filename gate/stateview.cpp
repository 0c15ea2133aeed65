#include "stateview.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "codes.h"
#include "drivestate.h"
#include "isotime.h"
#include "trendsample.h"

namespace {

service::TrendSample sampleOf(const ActuatorReading& a, const service::LineSettings& settings)
{
    service::PollSnapshot s;
    s.position = a.position;
    s.driveState = a.driveState;
    s.driveFlags = a.driveFlags;
    s.inputCurrent = a.inputCurrent;
    s.relayStates = a.relayStates;
    return service::sampleFromPoll(s, 0, a.address, a.travel,
                                   {settings.mmPerStep, settings.motSteps, settings.optoBlades});
}

double rounded(double v, double unit)
{
    return std::round(v / unit) * unit;
}

}  // namespace

std::string stateJson(const ActuatorReading& a, const service::LineSettings& settings,
                      bool withTime)
{
    using json = nlohmann::ordered_json;
    const service::TrendSample s = sampleOf(a, settings);
    json j;
    j["address"] = a.address;
    j["type"] = a.type;
    j["name"] = service::nameOf(settings, a.address);
    j["online"] = a.online;
    j["position_steps"] = a.position ? json(*a.position) : json(nullptr);
    j["position_percent"] = s.percent ? json(rounded(*s.percent, 0.1)) : json(nullptr);
    j["position_mm"] = s.millimetres ? json(rounded(*s.millimetres, 0.1)) : json(nullptr);
    j["state"] = a.driveState ? json(*a.driveState) : json(nullptr);
    const char* text = a.driveState ? drivestate::text(*a.driveState) : nullptr;
    j["state_text"] = text ? json(text) : json(nullptr);
    j["flags"] = a.driveFlags ? json(*a.driveFlags) : json(nullptr);
    j["limo"] = a.driveFlags ? json((*a.driveFlags & wake::flag::Limo) != 0) : json(nullptr);
    j["limc"] = a.driveFlags ? json((*a.driveFlags & wake::flag::Limc) != 0) : json(nullptr);
    j["current"] = a.inputCurrent ? json(*a.inputCurrent) : json(nullptr);
    if (a.relayStates) {
        json relays = json::array();
        for (int r = 0; r < wake::RelayCount; ++r)
            relays.push_back(wake::relayOn(*a.relayStates, r) ? 1 : 0);
        j["relays"] = relays;
    } else {
        j["relays"] = nullptr;
    }
    if (withTime)
        j["time"] =
            a.lastGoodWall ? json(service::isoLocalTimeMillis(*a.lastGoodWall)) : json(nullptr);
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::array<std::uint16_t, InputRegisterCount>
inputRegisters(const ActuatorReading& a, std::chrono::steady_clock::time_point now)
{
    std::array<std::uint16_t, InputRegisterCount> r{};
    const service::LineSettings plain;
    const service::TrendSample s = sampleOf(a, plain);
    r[0] = static_cast<std::uint16_t>(a.position.value_or(0));
    r[1] =
        static_cast<std::uint16_t>(std::clamp(std::lround(s.percent.value_or(0) * 10), 0L, 65535L));
    r[2] = static_cast<std::uint16_t>(a.driveState.value_or(0));
    r[3] = static_cast<std::uint16_t>(a.driveFlags.value_or(0));
    r[4] = static_cast<std::uint16_t>(a.inputCurrent.value_or(0));
    r[5] = a.online ? 1 : 0;
    for (int k = 0; k < wake::RelayCount; ++k)
        r[6 + k] = a.relayStates && wake::relayOn(*a.relayStates, k) ? 1 : 0;
    long age = 65535;
    if (a.lastGood)
        age = std::chrono::duration_cast<std::chrono::seconds>(now - *a.lastGood).count();
    r[9] = static_cast<std::uint16_t>(std::clamp(age, 0L, 65535L));
    return r;
}
