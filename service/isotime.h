// Wall-clock times as ISO 8601 text, in local time with the offset from UTC
// ("2025-03-14T09:26:53+03:00"), the way the backups and the journal date
// what they record.
#pragma once

#include <chrono>
#include <string>

namespace service {

std::string isoLocalTime(std::chrono::system_clock::time_point when);
// The same with milliseconds: "2025-03-14T09:26:53.120+03:00".
std::string isoLocalTimeMillis(std::chrono::system_clock::time_point when);
// "09:26:53.120": local time of day with milliseconds.
std::string localClockTime(std::chrono::system_clock::time_point when);
// The wall-clock moment of a steady-clock one (the protocol client times its
// exchanges on the steady clock).
std::chrono::system_clock::time_point wallClockAt(std::chrono::steady_clock::time_point when);

}  // namespace service
