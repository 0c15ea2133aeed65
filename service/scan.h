// The line scan: one GetInfo per address, ascending, as the window's scan
// probes, with progress and cancellation for whoever shows it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TWakePort;

namespace service {

struct FoundActuator {
    int address = 0;
    std::string type;  // the GetInfo text, UTF-8
};

struct ScanOptions {
    int first = 1;
    int last = 127;
    // After each address probed (found or not).
    std::function<void(int address, const FoundActuator* found)> progress;
    // Asked before each probe; true ends the scan with what was found so far.
    std::function<bool()> cancelled;
};

// Silent or faulty addresses are skipped. Without a port nothing is listed.
// The client's address is given back afterwards.
std::vector<FoundActuator> scanLine(TWakePort& port, const ScanOptions& options = {});

}  // namespace service
