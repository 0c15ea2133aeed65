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
    NoAnswer,     // nothing within the time-out (frames for others skipped aside)
    WrongAnswer,  // a frame with another command code, or too short
    NoPort,       // no port in use (nothing was sent), or its device went away
    // A frame began but did not decode: a bad check byte, a bad escape, cut
    // short; two actuators answering at once garble each other like this.
    DamagedAnswer,
};

// A good frame that the exchange skipped because it was not its answer: a
// late answer to an earlier request, or one from another actuator.
struct SkippedFrame {
    int address = 0;
    int command = 0;
    std::vector<std::uint8_t> data;
};

struct ExchangeRecord {
    std::string port;  // "COMn" or "None"
    int address = 0;
    int command = 0;
    std::string name;
    std::vector<std::uint8_t> request;  // the request's data bytes
    std::vector<std::uint8_t> answer;   // the answer frame's data bytes, when a frame came
    ExchangeOutcome outcome = ExchangeOutcome::NoAnswer;
    int deviceError = 0;                // the code, for DeviceError
    std::vector<SkippedFrame> skipped;  // late or foreign answers, in the order they came
    int damagedFrames = 0;              // frames that began but did not decode
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::duration duration{};
};

using ExchangeObserver = std::function<void(const ExchangeRecord&)>;
