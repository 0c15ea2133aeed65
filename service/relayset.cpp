#include "relayset.h"

#include <algorithm>

#include "addressscope.h"
#include "inifile.h"
#include "wakeport.h"

namespace service {

namespace {

constexpr const char* Section = "Relays";
constexpr const char* FieldNames[4] = {"RelEn", "RelMin", "RelMax", "RelHyst"};

std::array<int*, 4> fieldsOf(RelaySetting& r)
{
    return {&r.mode, &r.min, &r.max, &r.hyst};
}
std::array<int, 4> fieldsOf(const RelaySetting& r)
{
    return {r.mode, r.min, r.max, r.hyst};
}

std::string keyOf(int field, int relay)
{
    return FieldNames[field] + std::to_string(relay + 1);
}

}  // namespace

const char* relayModeText(int mode)
{
    static const char* const texts[3] = {"Выключено", "Токовый вход", "Токовый выход"};
    return mode >= 0 && mode < 3 ? texts[mode] : nullptr;
}

bool validRelay(const RelaySetting& r)
{
    const auto percent = [](int v) { return v >= 0 && v <= 100; };
    return r.mode >= 0 && r.mode <= 2 && percent(r.min) && percent(r.max) && percent(r.hyst);
}

RelaySet readRelays(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    const RelayChannels read = port.GetR();
    RelaySet r;
    for (std::size_t k = 0; k < r.size(); ++k)
        r[k] = {read[k].en, read[k].min, read[k].max, read[k].hyst};
    return r;
}

void writeRelays(TWakePort& port, int address, const RelaySet& r)
{
    AddressScope scope(port, address);
    RelayChannels sent;
    for (std::size_t k = 0; k < r.size(); ++k)
        sent[k] = {r[k].mode, r[k].min, r[k].max, r[k].hyst};
    port.SetR(sent);
}

std::vector<Difference> diffRelays(const RelaySet& device, const RelaySet& wanted)
{
    std::vector<Difference> out;
    for (int k = 0; k < 3; ++k) {
        const auto d = fieldsOf(device[k]);
        const auto w = fieldsOf(wanted[k]);
        for (int f = 0; f < 4; ++f)
            if (d[f] != w[f])
                out.push_back({keyOf(f, k), d[f], w[f]});
    }
    return out;
}

RelayWriteOutcome writeRelaysVerified(TWakePort& port, int address, const RelaySet& wanted,
                                      bool dryRun)
{
    RelayWriteOutcome out;
    out.before = diffRelays(readRelays(port, address), wanted);
    if (dryRun || out.before.empty())
        return out;
    writeRelays(port, address, wanted);
    out.written = true;
    out.mismatches = diffRelays(readRelays(port, address), wanted);
    return out;
}

std::optional<RelaySet> relaysFromFile(const IniImage& file)
{
    if (!file.hasSection(Section))
        return std::nullopt;
    RelaySet relays;
    for (int k = 0; k < 3; ++k) {
        const auto fields = fieldsOf(relays[k]);
        for (int f = 0; f < 4; ++f)
            *fields[f] = file.readInt(Section, keyOf(f, k), 0);
        // As the relay page takes them: percentages held to 0..100, an
        // unknown mode as "off".
        for (int f = 1; f < 4; ++f)
            *fields[f] = std::clamp(*fields[f], 0, 100);
        if (relays[k].mode < 0 || relays[k].mode > 2)
            relays[k].mode = 0;
    }
    return relays;
}

void relaysToFile(IniImage& file, const RelaySet& relays)
{
    for (int k = 0; k < 3; ++k) {
        const auto values = fieldsOf(relays[k]);
        for (int f = 0; f < 4; ++f)
            file.writeInteger(Section, keyOf(f, k), values[f]);
    }
}

}  // namespace service
