// The line scan: one GetInfo per address, ascending, as the window's scan
// probes, with progress and cancellation for whoever shows it.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "codes.h"

class TWakePort;

namespace service {

struct FoundActuator {
    int address = 0;
    std::string type;  // the GetInfo text, UTF-8; empty for a damaged answer
    // Its answer came after the time-out and was taken from a later probe:
    // the actuator is there but slow.
    bool late = false;
    // Something answered at this address but the frame did not decode: most
    // often two actuators at one address. Listed, so that no one mistakes it
    // for an empty address; there is no type to show.
    bool damaged = false;
};

// The answer time-out a scan waits at each address unless told otherwise,
// and the range an operator may choose from.
inline constexpr int DefaultScanTimeoutMs = 100;
inline constexpr int MinScanTimeoutMs = 10;
inline constexpr int MaxScanTimeoutMs = 1000;

struct ScanOptions {
    int first = 1;
    int last = wake::MaxAddress;
    // Ms to wait for each answer byte during the scan; 0 keeps the client's
    // own. The client's time-out is given back afterwards.
    int timeout = 0;
    // After each address probed (found or not), and once more for an address
    // probed silent whose late answer a later probe brought.
    std::function<void(int address, const FoundActuator* found)> progress;
    // Asked before each probe; true ends the scan with what was found so far
    // and leaves the client alone from then on (no last wait for a late answer).
    std::function<bool()> cancelled;
};

// How long a scan of `addresses` addresses takes when none answers: at
// each, the request on the wire at `baud` and the whole answer time-out.
// Answering addresses take less, so a line with actuators scans a little
// faster than this.
std::chrono::milliseconds scanDuration(int addresses, int timeoutMs, int baud);
// "около 13 с", "около 2,5 с": the duration as an operator reads it.
std::string durationText(std::chrono::milliseconds duration);

// The type text of a find as a list shows it: "ТИРС-70 №0002 (ответ с
// опозданием)" for a late answer, the damaged answer's text for a damaged one.
std::string foundText(const FoundActuator& found);

// Silent addresses and ones that answer with an error are skipped; the list
// is in ascending address order. Without a port nothing is listed. The
// client's address is given back afterwards.
std::vector<FoundActuator> scanLine(TWakePort& port, const ScanOptions& options = {});

}  // namespace service
