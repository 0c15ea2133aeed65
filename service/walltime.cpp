#include "walltime.h"

#include <cstdio>
#include <ctime>

namespace walltime {

namespace {

struct Broken {
    std::tm tm{};
    int millis = 0;
};

Broken localParts(Clock::time_point t)
{
    using namespace std::chrono;
    Broken b;
    const auto sinceEpoch = t.time_since_epoch();
    auto secs = duration_cast<seconds>(sinceEpoch);
    b.millis = int(duration_cast<milliseconds>(sinceEpoch - secs).count());
    if (b.millis < 0) {  // before 1970: floor, not truncate
        b.millis += 1000;
        secs -= seconds(1);
    }
    const std::time_t tt = std::time_t(secs.count());
#ifdef _WIN32
    localtime_s(&b.tm, &tt);
#else
    localtime_r(&tt, &b.tm);
#endif
    return b;
}

}  // namespace

std::string iso8601(Clock::time_point t)
{
    const Broken b = localParts(t);
    char date[32], zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &b.tm);
    std::strftime(zone, sizeof zone, "%z", &b.tm);  // "+0300"
    char out[64];
    std::snprintf(out, sizeof out, "%s.%03d%.3s:%.2s", date, b.millis, zone, zone + 3);
    return out;
}

std::string timeOfDay(Clock::time_point t)
{
    const Broken b = localParts(t);
    char out[16];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d.%03d", b.tm.tm_hour, b.tm.tm_min,
                  b.tm.tm_sec, b.millis);
    return out;
}

Clock::time_point fromSteady(std::chrono::steady_clock::time_point t)
{
    const auto ago = std::chrono::steady_clock::now() - t;
    return Clock::now() - std::chrono::duration_cast<Clock::duration>(ago);
}

}  // namespace walltime
