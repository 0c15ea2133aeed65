// Which logged exchanges the monitor shows.
#pragma once

#include "exchangering.h"

namespace service {

enum class OutcomeFilter {
    All,
    Failures,
    Answer,
    DeviceError,
    NoAnswer,
    WrongAnswer,
    NoPort,
    DamagedAnswer
};

struct ExchangeFilter {
    bool hideRoutine = false;
    int address = -1;  // -1: every address
    OutcomeFilter outcome = OutcomeFilter::All;

    bool passes(const LoggedExchange& e) const;
    bool operator==(const ExchangeFilter&) const = default;
};

}  // namespace service
