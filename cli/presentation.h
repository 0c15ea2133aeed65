// How tirsctl shows what it read: texts for people (Russian, like the
// window's), JSON for scripts, and CSV rows for the status watch.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "linesettings.h"
#include "paramset.h"
#include "relayset.h"
#include "status.h"

using Json = nlohmann::ordered_json;

// Pretty for one document, compact for one line per reading; invalid UTF-8
// is replaced, never fatal.
void printJson(const Json& value, bool oneLine = false);

// The numbers the position page derives from a reading.
struct StatusView {
    const char* stateText;          // nullptr for a code without text
    std::string flags;              // "LIMC PC"
    int percent;                    // of the travel (0 taken as 1), as the page rounds it
    std::string mm;                 // position in millimetres, one decimal
    std::optional<double> mmValue;  // the same as a number; none when OptoBlades is 0
    std::string travelMm;           // the travel in millimetres
    int inputPercent;               // the input gauge, held to 0..100
};
StatusView viewOf(const service::StatusReading& r, const service::LineSettings& s);

std::vector<std::string> statusLines(int address, const std::string& name,
                                     const service::StatusReading& r,
                                     const service::LineSettings& s);
Json statusJson(int address, const service::StatusReading& r, const service::LineSettings& s);
std::string statusWatchLine(const std::string& time, const service::StatusReading& r,
                            const service::LineSettings& s);
std::string statusCsvHeader();
std::string statusCsvRow(const std::string& time, int address, const service::StatusReading& r,
                         const service::LineSettings& s);

Json paramsJson(const service::ParamSet& values);
// "key device file" rows under a caption-free list; JSON as objects.
void printDifferences(const std::vector<service::Difference>& differences,
                      const std::string& indent = {});
Json differencesJson(const std::vector<service::Difference>& differences);

std::string relayText(int relay, const service::RelaySetting& r);
Json relaysJson(const service::RelaySet& relays);
