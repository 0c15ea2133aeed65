// The trends record as CSV: one row per reading and one per motion command,
// in time order, ';' between fields, '.' in numbers, UTF-8. Empty fields are
// readings the tick did not make.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace service {

class TrendRecord;

// The header row: time;address;position;percent;mm;state;state_text;flags;input_mA;relays;command
extern const char* const TrendCsvHeader;

// timeText turns a record time (ms since the epoch) into the text of the
// time column; the window gives local ISO 8601 with milliseconds.
void writeTrendCsv(std::ostream& out, const TrendRecord& record,
                   const std::function<std::string(std::int64_t)>& timeText);

// The caption of a motion command's button ("Открыть"), or its number.
std::string motionCommandText(int motionCode);

}  // namespace service
