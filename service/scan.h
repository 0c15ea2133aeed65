// The line scan: one GetInfo per address, ascending, as the window's scan
// probes, with progress and cancellation for whoever shows it.
#pragma once

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

struct ScanOptions {
    int first = 1;
    int last = wake::MaxAddress;
    // After each address probed (found or not), and once more for an address
    // probed silent whose late answer a later probe brought.
    std::function<void(int address, const FoundActuator* found)> progress;
    // Asked before each probe; true ends the scan with what was found so far.
    std::function<bool()> cancelled;
};

// Silent addresses and ones that answer with an error are skipped; the list
// is in ascending address order. Without a port nothing is listed. The
// client's address is given back afterwards.
std::vector<FoundActuator> scanLine(TWakePort& port, const ScanOptions& options = {});

}  // namespace service
