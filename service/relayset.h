// The three relay settings: read, compared, written and verified, and kept in
// the section [Relays] of a backup file with the vocabulary's field names
// (RelEn1, RelMin1, RelMax1, RelHyst1, ... relay 3).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "paramset.h"

class IniImage;
class TWakePort;

namespace service {

struct RelaySetting {
    int mode = 0;  // 0 off, 1 current input, 2 current output
    int min = 0;   // switch-on range, percent
    int max = 0;
    int hyst = 0;  // hysteresis, percent
    bool operator==(const RelaySetting&) const = default;
};
using RelaySet = std::array<RelaySetting, 3>;

// The relay page's texts of the modes: "Выключено", "Токовый вход",
// "Токовый выход"; nullptr for another code.
const char* relayModeText(int mode);

// The relay page's limits: mode 0..2, percentages 0..100.
bool validRelay(const RelaySetting& relay);

RelaySet readRelays(TWakePort& port, int address);
void writeRelays(TWakePort& port, int address, const RelaySet& relays);

// Field by field, named RelEn1 ... RelHyst3.
std::vector<Difference> diffRelays(const RelaySet& device, const RelaySet& wanted);

struct RelayWriteOutcome {
    std::vector<Difference> before;
    bool written = false;
    std::vector<Difference> mismatches;
    bool verified() const { return mismatches.empty(); }
};
// Reads, compares, writes (SetR) when something differs and not dryRun,
// reads back and compares.
RelayWriteOutcome writeRelaysVerified(TWakePort& port, int address, const RelaySet& wanted,
                                      bool dryRun);

// Nothing when the file has no [Relays] section.
std::optional<RelaySet> relaysFromFile(const IniImage& file);
void relaysToFile(IniImage& file, const RelaySet& relays);

}  // namespace service
