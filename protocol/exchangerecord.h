// What one exchange with an actuator was, as an observer of the protocol
// client sees it once the exchange has ended.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class ExchangeOutcome {
    Answer,       // a valid answer with error byte 0
    DeviceError,  // a valid answer carrying a device error code
    NoAnswer,     // nothing, or no complete frame, within the time-out
    WrongAnswer,  // a frame with another command code, or too short
    NoPort,       // no port in use: nothing was sent
};

struct ExchangeRecord {
    std::string port;  // "COMn" or "None"
    int address = 0;
    int command = 0;
    std::string name;
    std::vector<std::uint8_t> request;  // the request's data bytes
    std::vector<std::uint8_t> answer;   // the answer frame's data bytes, when a frame came
    ExchangeOutcome outcome = ExchangeOutcome::NoAnswer;
    int deviceError = 0;  // the code, for DeviceError
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::duration duration{};
};

using ExchangeObserver = std::function<void(const ExchangeRecord&)>;
