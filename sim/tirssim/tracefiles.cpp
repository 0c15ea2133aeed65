#include "tracefiles.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace tirssim {

std::string requestLogLine(const sim::LoggedRequest& r)
{
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(r.time.time_since_epoch()).count();
    std::string line = std::to_string(ms) + ' ' + (r.hasAddress ? std::to_string(r.address) : "-") +
                       ' ' + std::to_string(r.command) + ' ';
    if (r.data.empty())
        line += '-';
    for (std::uint8_t b : r.data) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        line += hex;
    }
    return line;
}

RequestLog::~RequestLog()
{
    if (file_)
        std::fclose(file_);
}

bool RequestLog::open(const std::string& path)
{
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void RequestLog::write(const sim::LoggedRequest& r)
{
    if (!file_)
        return;
    std::fprintf(file_, "%s\n", requestLogLine(r).c_str());
    std::fflush(file_);
}

std::string stateLine(const sim::ActuatorState& s)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d %d 0x%02x %d %d", s.address, s.driveState, s.driveFlags, s.N,
                  s.Nt);
    return buf;
}

bool writeStateFile(const std::string& path, const std::vector<sim::ActuatorState>& states)
{
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "w");
    if (!f)
        return false;
    bool ok = true;
    for (const sim::ActuatorState& s : states)
        ok = std::fprintf(f, "%s\n", stateLine(s).c_str()) > 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace tirssim
