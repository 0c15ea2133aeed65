#include "exchangelog.h"

#include <cstdio>
#include <iostream>

#include "commands.h"
#include "deviceerror.h"
#include "isotime.h"

namespace {

std::string outcomeText(const ExchangeRecord& r)
{
    switch (r.outcome) {
    case ExchangeOutcome::Answer: return "ответ";
    case ExchangeOutcome::DeviceError: return wake::deviceErrorText(r.deviceError);
    case ExchangeOutcome::NoAnswer: return "нет ответа";
    case ExchangeOutcome::WrongAnswer: return "неверный ответ";
    case ExchangeOutcome::NoPort: return "порт не открыт";
    }
    return "?";
}

}  // namespace

std::string exchangeLine(const ExchangeRecord& r)
{
    using namespace std::chrono;
    // The record's start is on the steady clock; the line shows wall time.
    const auto wall =
        system_clock::now() - duration_cast<system_clock::duration>(steady_clock::now() - r.start);
    std::string line = service::localClockTime(wall) + " " + r.port + " " +
                       std::to_string(r.address) + " " + r.name;
    const wake::CommandSpec* spec = wake::findSpec(r.command);
    if (spec != nullptr) {
        const std::string request =
            wake::formatFields(wake::decodeRequest(*spec, r.request.data(), r.request.size()));
        if (!request.empty())
            line += " " + request;
    }
    line += " ->";
    if (spec != nullptr && r.outcome == ExchangeOutcome::Answer) {
        const std::string answer =
            wake::formatFields(wake::decodeAnswer(*spec, r.answer.data(), r.answer.size()));
        if (!answer.empty())
            line += " " + answer;
    }
    char ms[32];
    std::snprintf(ms, sizeof ms, " %.1f мс", duration<double, std::milli>(r.duration).count());
    return line + " " + outcomeText(r) + ms;
}

void printExchange(const ExchangeRecord& record)
{
    std::cerr << exchangeLine(record) << '\n';
}
