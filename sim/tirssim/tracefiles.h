// Files through which a test or an operator watches the simulated line from
// outside: a log of the requests it received and a snapshot of the actuators.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sim/simline.h"

namespace tirssim {

// One line per request: monotonic milliseconds, the address ("-" for a frame
// without one), the command code, the data bytes in hex ("-" for none).
// Example: "81234567 17 16 05".
std::string requestLogLine(const sim::LoggedRequest& r);

// Appends request lines to a file, each flushed at once so that a reader
// polling the file sees every request as soon as it arrived.
class RequestLog {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool open(const std::string& path);  // false when the file cannot be opened
    void write(const sim::LoggedRequest& r);

private:
    std::FILE* file_ = nullptr;
};

// One line per actuator: address, DriveState code, DriveFlags as 0xNN, N, Nt.
// Example: "17 0 0x04 2000 2000".
std::string stateLine(const sim::ActuatorState& s);

// Replaces the file atomically (a temporary beside it, then rename), so a
// reader never sees half a snapshot. False on failure.
bool writeStateFile(const std::string& path, const std::vector<sim::ActuatorState>& states);

}  // namespace tirssim
