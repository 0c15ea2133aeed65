#include "exchangefilter.h"

namespace service {

bool ExchangeFilter::passes(const LoggedExchange& e) const
{
    if (hideRoutine && e.routine)
        return false;
    if (address >= 0 && e.record.address != address)
        return false;
    const ExchangeOutcome o = e.record.outcome;
    switch (outcome) {
    case OutcomeFilter::All: return true;
    case OutcomeFilter::Failures: return o != ExchangeOutcome::Answer;
    case OutcomeFilter::Answer: return o == ExchangeOutcome::Answer;
    case OutcomeFilter::DeviceError: return o == ExchangeOutcome::DeviceError;
    case OutcomeFilter::NoAnswer: return o == ExchangeOutcome::NoAnswer;
    case OutcomeFilter::WrongAnswer: return o == ExchangeOutcome::WrongAnswer;
    case OutcomeFilter::NoPort: return o == ExchangeOutcome::NoPort;
    case OutcomeFilter::DamagedAnswer: return o == ExchangeOutcome::DamagedAnswer;
    }
    return true;
}

}  // namespace service
