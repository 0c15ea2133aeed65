#include "exchangetext.h"

#include <charconv>
#include <cstdio>
#include <string_view>

#include "commands.h"
#include "drivestate.h"

namespace service {

namespace exchangetext {

std::string outcome(const ExchangeRecord& r)
{
    return outcomeText(r.outcome, r.deviceError);
}

std::string skipped(const ExchangeRecord& r)
{
    if (r.skipped.empty())
        return {};
    std::string out = "пропущены чужие или запоздавшие ответы:";
    for (std::size_t i = 0; i < r.skipped.size(); ++i) {
        const SkippedFrame& f = r.skipped[i];
        const wake::CommandInfo* entry = wake::findCommand(f.command);
        out += (i ? ", от " : " от ") + std::to_string(f.address) + " (" +
               (entry ? std::string(entry->name) : std::to_string(f.command)) + ")";
    }
    return out;
}

std::string request(const ExchangeRecord& r)
{
    const wake::CommandInfo* entry = wake::findCommand(r.command);
    if (!entry)
        return hex(r.request);
    return wake::formatFields(wake::decodeRequest(*entry, r.request.data(), r.request.size()));
}

std::string answer(const ExchangeRecord& r)
{
    const wake::CommandInfo* entry = wake::findCommand(r.command);
    if (!entry || r.answer.empty() ||
        (r.outcome != ExchangeOutcome::Answer && r.outcome != ExchangeOutcome::DeviceError))
        return {};
    return wake::formatFields(wake::decodeAnswer(*entry, r.answer.data(), r.answer.size()));
}

std::string operatorValues(const std::string& command, const std::string& values)
{
    if (command == "SetS") {
        constexpr std::string_view Key = "MotionCode=";
        if (values.rfind(Key, 0) != 0)
            return values;
        int code = -1;
        const char* digits = values.c_str() + Key.size();
        const auto [end, ec] = std::from_chars(digits, values.c_str() + values.size(), code);
        const char* button =
            ec == std::errc{} && *end == '\0' ? drivestate::motionText(code) : nullptr;
        return button ? values + " (" + button + ")" : values;
    }
    if (command == "SetM" || command == "GetM") {
        // The parameter page sends the acceleration current Ia there.
        const std::string::size_type at = values.find(" Extra=");
        if (at != std::string::npos)
            return values.substr(0, at) + " Ia=" + values.substr(at + 7);
    }
    return values;
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    char b[4];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, out.empty() ? "%02X" : " %02X", v);
        out += b;
    }
    return out;
}

std::string milliseconds(double ms)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", ms);
    return b;
}

}  // namespace exchangetext

}  // namespace service
