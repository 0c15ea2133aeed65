// Why a serial port cannot be opened, in the operator's words. The serial
// link library answers only yes or no; the program names the reason so that
// a missing adapter or a permission problem is not left to guessing.
#pragma once

#include <string>

struct PortProblemInfo {
    std::string reason;  // empty when the port can be opened (or no reason can be named)
    std::string path;    // the device path the reason is about; may be empty
    bool none() const { return reason.empty(); }
    // "reason: path", the reason first so that a long path cannot hide it.
    std::string text() const { return path.empty() ? reason : reason + ": " + path; }
};

PortProblemInfo PortProblem(const std::string& portName);
