#include "exchangelog.h"

#include <iostream>

#include "exchangetext.h"
#include "isotime.h"

std::string exchangeLine(const ExchangeRecord& r)
{
    // The record's start is on the steady clock; the line shows wall time.
    std::string line = service::localClockTime(service::wallClockAt(r.start)) + " " + r.port + " " +
                       std::to_string(r.address) + " " + r.name;
    const std::string request =
        service::exchangetext::operatorValues(r.name, service::exchangetext::request(r));
    if (!request.empty())
        line += " " + request;
    line += " ->";
    if (r.outcome == ExchangeOutcome::Answer) {
        const std::string answer =
            service::exchangetext::operatorValues(r.name, service::exchangetext::answer(r));
        if (!answer.empty())
            line += " " + answer;
    }
    const double ms = std::chrono::duration<double, std::milli>(r.duration).count();
    line += " " + service::exchangetext::outcome(r) + " " +
            service::exchangetext::milliseconds(ms) + " мс";
    const std::string skipped = service::exchangetext::skipped(r);
    return skipped.empty() ? line : line + "; " + skipped;
}

void printExchange(const ExchangeRecord& record)
{
    std::cerr << exchangeLine(record) << '\n';
}
