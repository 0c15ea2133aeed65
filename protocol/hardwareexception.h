#pragma once

#include <stdexcept>
#include <string>

// The one exception of the protocol client: every failed exchange with an
// actuator. It carries its message (UTF-8) and nothing else.
class EHardwareException : public std::runtime_error {
public:
    explicit EHardwareException(const std::string& message) : std::runtime_error(message) {}
};
