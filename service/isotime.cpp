#include "isotime.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace service {

namespace {

struct Broken {
    std::tm local{};
    std::tm utc{};
};

// std::localtime and std::gmtime share static storage: one caller at a time.
Broken breakDown(std::time_t t)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    Broken b;
    if (const std::tm* l = std::localtime(&t))
        b.local = *l;
    if (const std::tm* u = std::gmtime(&t))
        b.utc = *u;
    return b;
}

// Minutes east of UTC, from the two broken-down forms of one instant (no
// platform's time-zone fields needed).
int offsetMinutes(const Broken& b)
{
    int days = b.local.tm_yday - b.utc.tm_yday;
    if (b.local.tm_year != b.utc.tm_year)
        days = b.local.tm_year > b.utc.tm_year ? 1 : -1;
    return (days * 24 + b.local.tm_hour - b.utc.tm_hour) * 60 + b.local.tm_min - b.utc.tm_min;
}

}  // namespace

namespace {

long millisecondsOf(std::chrono::system_clock::time_point when)
{
    const auto sinceEpoch = when.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count());
    return ms < 0 ? 0 : ms;
}

std::string isoText(std::chrono::system_clock::time_point when, bool withMillis)
{
    const Broken b = breakDown(std::chrono::system_clock::to_time_t(when));
    const int offset = offsetMinutes(b);
    const int magnitude = offset < 0 ? -offset : offset;
    char millis[8] = "";
    if (withMillis)
        std::snprintf(millis, sizeof millis, ".%03ld", millisecondsOf(when));
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s%c%02d:%02d",
                  b.local.tm_year + 1900, b.local.tm_mon + 1, b.local.tm_mday, b.local.tm_hour,
                  b.local.tm_min, b.local.tm_sec, millis, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

}  // namespace

std::string isoLocalTime(std::chrono::system_clock::time_point when)
{
    return isoText(when, false);
}

std::string isoLocalTimeMillis(std::chrono::system_clock::time_point when)
{
    return isoText(when, true);
}

std::string localClockTime(std::chrono::system_clock::time_point when)
{
    const Broken b = breakDown(std::chrono::system_clock::to_time_t(when));
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", b.local.tm_hour, b.local.tm_min,
                  b.local.tm_sec, millisecondsOf(when));
    return text;
}

std::chrono::system_clock::time_point wallClockAt(std::chrono::steady_clock::time_point when)
{
    using namespace std::chrono;
    return system_clock::now() - duration_cast<system_clock::duration>(steady_clock::now() - when);
}

}  // namespace service
