#pragma once

#include <stdexcept>
#include <string>

#include "exchangerecord.h"

// The one exception of the protocol client: every failed exchange with an
// actuator. Callers branch on the outcome and the device's code, never on
// the message (UTF-8), which is for the operator.
class EHardwareException : public std::runtime_error {
public:
    EHardwareException(int command, std::string commandName, ExchangeOutcome outcome,
                       int deviceError, const std::string& message)
        : std::runtime_error(message), command_(command), commandName_(std::move(commandName)),
          outcome_(outcome), deviceError_(deviceError)
    {
    }

    int command() const { return command_; }
    const std::string& commandName() const { return commandName_; }
    // Never ExchangeOutcome::Answer.
    ExchangeOutcome outcome() const { return outcome_; }
    // The device's error code, for ExchangeOutcome::DeviceError; 0 otherwise.
    int deviceError() const { return deviceError_; }

private:
    int command_;
    std::string commandName_;
    ExchangeOutcome outcome_;
    int deviceError_;
};
