// The drive parameter set as whole numbers, keyed like the parameter files:
// read from an actuator, taken from a file as the parameter page would send
// it, compared, written in the page's order and verified by reading back.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "paramfile.h"

class IniImage;
class TWakePort;

namespace service {

// In the order of paramfile::ParamKeys (Vmin, V1, I1, ... Nt).
using ParamSet = std::array<long, paramfile::ParamCount>;

// The index of a parameter name ("Vmin", "Nt"), or nothing.
std::optional<std::size_t> paramIndex(std::string_view key);
inline constexpr std::size_t TravelIndex = paramfile::ParamCount - 1;  // Nt

// One value that differs: its key, what the actuator holds, what is wanted.
struct Difference {
    std::string key;
    long device = 0;
    long wanted = 0;
};

// GetA, GetM, GetP, GetL, GetW, GetT at that address, as the page reads them.
ParamSet readParams(TWakePort& port, int address);

// What the parameter page shows after its read: the type text (GetInfo),
// then readParams' values and GetW's work status (which speeds and zones
// the drive uses).
struct ParamPageReading {
    std::string type;
    ParamSet values{};
    int workStatus = 0;
};
ParamPageReading readParamPage(TWakePort& port, int address);

// The file's values as the page would send them after loading the file:
// missing keys take their defaults, each value is held to its field's
// limits and truncated toward zero.
ParamSet paramsFromFile(const IniImage& file);
void paramsToFile(IniImage& file, const ParamSet& values);

// Every key whose values differ, in key order; Nt only when withTravel.
std::vector<Difference> diffParams(const ParamSet& device, const ParamSet& wanted,
                                   bool withTravel = true);

// The page's write: SetS 0 (stop and switch off), SetA, SetM (with Ia as
// its extra value), SetP, SetL, SetW, and SetT only with travel.
void writeParams(TWakePort& port, int address, const ParamSet& values, bool travel);

struct WriteOptions {
    bool travel = false;  // also write Nt
    bool dryRun = false;  // compare only
};

struct WriteOutcome {
    std::vector<Difference> before;      // actuator against the wanted set (Nt included)
    bool written = false;                // false for a dry run or when nothing differed
    std::vector<Difference> mismatches;  // what the read-back still shows different
    bool travelSkipped = false;          // Nt differs but was not to be written
    bool verified() const { return mismatches.empty(); }
};

// Reads, compares, writes when something that may be written differs, reads
// back and compares what was written. EHardwareException from any exchange
// passes to the caller (commands sent before it stay in effect).
WriteOutcome writeParamsVerified(TWakePort& port, int address, const ParamSet& wanted,
                                 const WriteOptions& options);

}  // namespace service
